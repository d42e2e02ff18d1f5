#pragma once

#include "data/Backend.h"

#include <memory>

namespace glimora::data {

class RecordsetData;

// One open backend session, shared by the connection that opened it and by the record sets
// read from it. A session can have only one result set in flight (ODBC and TDS allow no
// second active statement), so before a new batch is sent the record set that is still
// reading from the session reads its remaining rows into its cache and lets the cursor go.
// Earlier record sets therefore always stay complete and usable.
//
// A record set's own writes are the exception where the backend keeps several results open
// (the embedded server): they run beside its unread rows, so that editing a large result
// never needs the rest of it read.
class Session
{
public:
    explicit Session(std::unique_ptr<BackendSession> backendSession);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool isOpen() const { return m_backendSession != nullptr; }
    // Completes the reading record set, then ends the backend session.
    void close();

    // Throws DbError::connectionInvalid() once the session is closed.
    ExecuteResult execute(const QString& batch, int commandTimeoutSeconds);
    // Runs a batch of the reading record set itself, leaving its rows unread where the backend
    // allows; otherwise as execute(). With a `database`, a session that has moved to another
    // one sends nothing and throws DbError::notUpdatable().
    ExecuteResult executeBesideReader(
        const QString& batch, int commandTimeoutSeconds, const QString& database = QString());
    bool keepsResultsOpen() const;
    QStringList primaryKeyColumns(const QString& table);
    QString identityColumn(const QString& table);
    QString currentDatabase() const; // empty when the backend cannot tell

    // The record set whose cursor still reads from this session.
    void setReader(const std::shared_ptr<RecordsetData>& reader);
    void clearReader(const RecordsetData* reader);

private:
    ExecuteResult run(const QString& batch, int commandTimeoutSeconds);
    void completeReader();

    std::unique_ptr<BackendSession> m_backendSession;
    std::weak_ptr<RecordsetData> m_reader;
};

} // namespace glimora::data
