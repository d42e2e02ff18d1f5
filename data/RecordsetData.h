#pragma once

#include "data/Backend.h"
#include "data/DbError.h"
#include "data/HeldRows.h"
#include "data/RecordKeys.h"
#include "data/RecordsetChange.h"
#include "data/Variant.h"

#include <memory>
#include <optional>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace glimora::data {

class Session;

// The record set object behind the Recordset handle: the fields, the rows fetched so far,
// the cursor position and, for a record set opened on a single table, what it takes to
// write rows back by the table's primary key.
//
// Rows are fetched as the position needs them. A record set without a key keeps every row
// it read, so moving back costs nothing. A record set with a key (an updatable one) keeps the
// key of every row it read, as a keyset cursor does, but the values of only the rows near
// where it was last used, at most Recordset::HeldRecordLimit of them: others are read again
// by key when needed, a record deleted by someone else meanwhile then shows as NULLs and
// refuses writes, and pictures (binary fields) are read only for the rows asked for them.
// Positions run from -1 (BOF) through the fetched rows; a position equal to the number of
// rows is EOF and is reached only once the cursor has run out.
class RecordsetData : public std::enable_shared_from_this<RecordsetData>
{
public:
    // Where write-back goes; built when the record set is opened on a single table.
    struct UpdateTarget
    {
        QString table; // as written in the statement
        QString database; // the one the statement read; empty when the backend cannot tell
        QStringList baseColumns; // per field (hidden ones included); empty when not a column
        QList<int> keyFields; // fields that hold the primary key, in key order
        QString refetchPrefix; // "SELECT <list> FROM <table>"
        QString refetchWithoutPicturesPrefix; // the same with NULL in place of binary fields
        int hiddenFieldCount = 0; // key columns added to the select list, not shown
        bool keyIsIdentity = false; // the one key column is the table's identity column
    };

    // A record not held is read again with the records around it, this many in all.
    static constexpr qsizetype ReadAround = 64;
    // Records read again by key in one statement at most.
    static constexpr qsizetype KeysPerStatement = 100;

    // Takes the result of a batch and reads its first row; a result without a cursor gives a
    // closed record set. Write-back statements use `commandTimeoutSeconds`.
    static std::shared_ptr<RecordsetData> open(std::shared_ptr<Session> session, ExecuteResult result,
        int commandTimeoutSeconds, std::optional<UpdateTarget> target = std::nullopt);

    // A closed record set.
    RecordsetData() = default;
    ~RecordsetData();

    // Opens this (closed) record set on a result, as `open` does.
    void openResult(std::shared_ptr<Session> session, ExecuteResult result, int commandTimeoutSeconds,
        std::optional<UpdateTarget> target);
    RecordsetData(const RecordsetData&) = delete;
    RecordsetData& operator=(const RecordsetData&) = delete;

    void setNotUpdatable(const QString& reason) { m_notUpdatableReason = reason; }
    // A statement giving the number of rows of the result (SELECT COUNT(*) over it).
    void setCountStatement(const QString& statement) { m_countStatement = statement; }
    bool isUpdatable() const { return m_target.has_value(); }

    bool isOpen() const { return m_open; }
    void close();

    int fieldCount() const;
    const FieldInfo& field(int index) const; // throws itemNotFound
    int fieldIndex(const QString& name) const; // -1 when there is none

    bool bof() const;
    bool eof() const;
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    // 1-based; -2 at BOF and -3 at EOF, as ADO's adPosBOF and adPosEOF.
    long absolutePosition() const;
    void setAbsolutePosition(long position);
    long recordCount(); // reads every row

    Variant value(int field); // read again when not held
    Variant valueAt(long record, int field); // 0-based record, fetched as needed
    // Whether valueAt can answer from memory; `field` -1 for every field but pictures.
    bool isHeld(long record, int field) const;
    // Reads records first .. first + count - 1 (at most half the held limit) into memory,
    // from the result or again by key, with their pictures when `pictures`.
    void readRecords(long first, long count, bool pictures);
    void setValue(int field, const Variant& value);
    void addNew(const QStringList& fieldNames, const QList<Variant>& values);
    void deleteCurrent();
    void updateCurrent();
    void cancelUpdate();

    long fetchedCount() const { return long(m_count); }
    long heldCount() const { return long(m_held.size()); }
    long heldPictureCount() const { return long(m_held.pictureCount()); }
    void setHoldAll(bool holdAll) { m_holdAll = holdAll; }
    // The records of the set, read or not: exact once all are read; before, counted once
    // beside the open result where the backend allows, else the rows read so far.
    long expectedCount();
    bool allFetched() const { return m_cursor == nullptr; }
    long fetchMore(long count);

    // The session is about to run another batch: read the rest of the rows now.
    void completeBeforeNextBatch();

    int subscribe(RecordsetListener listener);
    void unsubscribe(int id);

private:
    void notify(RecordsetChange::Kind kind, long row = -1);
    // Tells of rows read since `before` rows were held.
    void notifyFetched(qsizetype before);

    void checkOpen() const;
    void checkCurrent() const;
    void checkUpdatable() const;
    // Fetches until row `row` exists; false when the result ends first. A record set with a
    // key holds the values of the rows from `holdFrom` on, pictures from `picturesFrom` on,
    // and keeps only the keys of those before.
    bool fetchUpTo(qsizetype row);
    bool fetchUpTo(qsizetype row, qsizetype holdFrom, qsizetype picturesFrom);
    void fetchAll(); // keeps only the keys of the rows it reads (a set with a key)
    void releaseCursor();
    void clearRows();
    bool isPicture(int field) const;
    QList<Variant> keyOf(const QList<Variant>& row) const;
    // The row at `position`, read again by key with those around it when it is not held.
    const HeldRows::Row& heldRow(qsizetype position, bool pictures);
    // Reads the rows first..last that are not held (or lack pictures) again by key; those the
    // table no longer holds are held as gone.
    // Gives the first failure to read a record; the others are read all the same.
    std::optional<DbError> readAgain(qsizetype first, qsizetype last, bool pictures);
    void readAgainInBatch(const QList<QByteArray>& keys, QHash<QByteArray, QList<qsizetype>>& positions,
        bool pictures, std::optional<DbError>& failure);
    void readAgainByKeys(
        const QList<QByteArray>& keys, QHash<QByteArray, QList<qsizetype>>& positions, bool pictures);
    void holdReadAgain(qsizetype position, const QList<Variant>& values, bool pictures);
    void holdAsGone(qsizetype position);
    void forgetOthersWithKey(qsizetype position, const QByteArray& key);
    // Lets go of rows beyond the limit, never the current one, the edited one, or one that
    // cannot be found again by key.
    void trimHeld();
    void holdCurrent();
    void flushEdit();
    // An edit or delete of `row` that changed nothing: raises the conflict error.
    [[noreturn]] void refusedByAnotherWriter(qsizetype row);
    ExecuteResult writeStatement(const QString& statement);
    qint64 countRows();
    void resetCount();
    // The row as stored after a successful write; empty when it cannot be read back.
    QList<Variant> readBack(const QList<Variant>& keyValues);
    QString keyCriteria(const QList<Variant>& keyValues) const;
    QString keyCriteria(const QByteArray& key) const;
    // The record at `position` as it was read: its key and every comparable value held.
    QString rowCriteria(qsizetype position);
    QList<Variant> refetch(const QList<Variant>& keyValues);
    // The row just inserted with these values, when exactly one row holds them that the
    // cache does not; empty otherwise.
    QList<Variant> locateInserted(const QList<int>& fields, const QList<Variant>& values);

    std::shared_ptr<Session> m_session;
    int m_commandTimeout = 30;
    bool m_open = false;
    QList<FieldInfo> m_fields;
    std::unique_ptr<BackendCursor> m_cursor; // declared after m_session: released first
    bool m_keyed = false; // rows can be read again by key: only some are held
    qsizetype m_count = 0; // rows read or added, less those deleted
    RecordKeys m_keys; // keyed: the key of each row
    HeldRows m_held;
    QList<bool> m_keyFieldsOnly; // what fetchFields reads of a row passed over
    QList<bool> m_allButPictures;
    bool m_hasPictures = false;
    bool m_holdAll = false;
    std::optional<DbError> m_deferredError;
    qsizetype m_position = -1;

    qsizetype m_editRow = -1;
    QList<Variant> m_editValues;
    QList<bool> m_changed;

    QString m_countStatement;
    qint64 m_streamed = 0; // rows taken from the cursor
    qint64 m_added = 0; // rows added and deleted here since the result was opened
    qint64 m_deleted = 0;
    bool m_counted = false;
    qint64 m_readerTotal = -1; // rows the cursor gives in all; -1 when unknown

    std::optional<UpdateTarget> m_target;
    QList<std::pair<int, RecordsetListener>> m_listeners;
    int m_nextListenerId = 1;
    QString m_notUpdatableReason
        = QStringLiteral("the result does not come from one table with a primary key");
};

} // namespace glimora::data
