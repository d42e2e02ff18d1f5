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
    QStringList primaryKeyColumns(const QString& table);
    QString identityColumn(const QString& table);

    // The record set whose cursor still reads from this session.
    void setReader(const std::shared_ptr<RecordsetData>& reader);
    void clearReader(const RecordsetData* reader);

private:
    void completeReader();

    std::unique_ptr<BackendSession> m_backendSession;
    std::weak_ptr<RecordsetData> m_reader;
};

} // namespace glimora::data
