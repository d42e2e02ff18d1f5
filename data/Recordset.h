#pragma once

#include "data/Field.h"
#include "data/RecordsetChange.h"
#include "data/Variant.h"

#include <memory>
#include <QList>
#include <QString>
#include <QStringList>

namespace glimora::data {

class Connection;
class RecordsetData;

// ADO's Recordset with its cursor rules: an empty set is at BOF and EOF together; moving
// past either end sets EOF or BOF, and a further move that way raises an error; moving
// back from EOF reaches the last record. Rows are fetched as the cursor needs them and kept
// for moving back. Copies share one record set, as COM pointers do; a default-constructed
// Recordset is unset and raises the invalid-pointer error.
//
// ADO's EOF is spelt EndOfFile here, since EOF is a macro of the C library.
class Recordset
{
public:
    static constexpr long StateClosed = 0; // adStateClosed
    static constexpr long StateOpen = 1; // adStateOpen
    static constexpr int AffectCurrent = 1; // adAffectCurrent
    // A record set that can find its records again by key holds the values of at most this
    // many records; it keeps the key of every record read.
    static constexpr long HeldRecordLimit = 2000;
    // ... and of those records' pictures and texts, at most about this many bytes.
    static constexpr qint64 HeldPictureBytes = 64 * 1024 * 1024;

    Recordset() = default;
    // A new, closed record set (CreateInstance).
    static Recordset create();
    // A record set over the result of a batch; read-only (Command::Execute).
    explicit Recordset(std::shared_ptr<RecordsetData> data);
    bool isNull() const { return m_data == nullptr; }

    // Opens an updatable record set with `source` over `connection` (the data control's way):
    // a SELECT from one table with a primary key can be written back. Key columns that the
    // select list leaves out are read as hidden fields.
    void Open(const QString& source, const Connection& connection);
    long State() const;
    void Close();

    bool BOF() const;
    bool EndOfFile() const;
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    long AbsolutePosition() const; // 1-based; -2 at BOF, -3 at EOF
    void SetAbsolutePosition(long position);
    long RecordCount() const; // reads every remaining row

    int FieldCount() const; // Fields.Count
    Field Item(int index) const; // Fields.Item(ordinal), 0-based in select-list order
    Field Item(const QString& name) const; // Fields.Item(name), not case-sensitive

    // Writing back (updatable record sets only). AddNew stores the new row at once and
    // makes it current, after every row of the result (a set with a key reads only the keys
    // of those not read yet); Delete removes the current row and leaves the cursor on the next one;
    // UpdateBatch writes the current record's edits. A row that someone else changed or
    // deleted since it was read raises DbError::RowConflict and is not written.
    bool isUpdatable() const;
    void AddNew(const QStringList& fieldList, const QList<Variant>& values);
    void AddNew(const QString& field, const Variant& value);
    void Delete(int affectRecords = AffectCurrent);
    void UpdateBatch(int affectRecords = AffectCurrent);
    void CancelUpdate();

    // For views that read ahead of the cursor (the data grid): rows fetched so far, whether
    // the result has been read to its end, reading more, and a value by 0-based record
    // without moving the cursor. A record set with a key keeps only the keys of the rows
    // that fetchMore passes over; readRecords reads the values of the rows a view shows, and
    // isHeld tells whether valueAt can answer from memory (`field` -1: every field but the
    // pictures).
    long fetchedRecordCount() const;
    // Every record, read or not: exact once all are read, counted beside the open result
    // before that where the server allows (the embedded server), else the rows read so far.
    long expectedRecordCount() const;
    bool allRecordsFetched() const;
    long fetchMore(long count);
    void readRecords(long first, long count, bool pictures);
    bool isHeld(long record, int field) const;
    Variant valueAt(long record, int field) const;
    // Records whose values are held in memory now, and of them those whose pictures (binary
    // fields) are held too; for tests and benchmarks.
    long heldRecordCount() const;
    long heldPictureRecordCount() const;
    // Holds every record read, with its pictures, as record sets did before they let records
    // go; for benchmarks that compare the two.
    void setHoldAllRecords(bool holdAll);

    // Change notifications for views; subscribe returns the id that unsubscribe takes.
    int subscribe(RecordsetListener listener);
    void unsubscribe(int id);

    friend bool operator==(const Recordset& a, const Recordset& b) { return a.m_data == b.m_data; }

private:
    RecordsetData& data() const;

    std::shared_ptr<RecordsetData> m_data;
};

} // namespace glimora::data
