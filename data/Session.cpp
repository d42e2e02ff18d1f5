#include "data/Session.h"

#include "data/DbError.h"
#include "data/RecordsetData.h"
#include "data/StatementTrace.h"

#include <QElapsedTimer>

namespace glimora::data {

Session::Session(std::unique_ptr<BackendSession> backendSession)
    : m_backendSession(std::move(backendSession))
{
}

Session::~Session() = default;

void Session::close()
{
    completeReader();
    m_backendSession.reset();
}

ExecuteResult Session::execute(const QString& batch, int commandTimeoutSeconds)
{
    if (!m_backendSession)
        throw DbError::connectionInvalid();
    completeReader();
    return run(batch, commandTimeoutSeconds);
}

ExecuteResult Session::executeBesideReader(
    const QString& batch, int commandTimeoutSeconds, const QString& database)
{
    if (!m_backendSession)
        throw DbError::connectionInvalid();
    if (!m_backendSession->keepsResultsOpen())
        completeReader();
    // Asked only now: a driver may learn of a USE only once the results before it are read.
    if (!database.isEmpty()) {
        const QString current = m_backendSession->currentDatabase();
        if (!current.isEmpty() && current.compare(database, Qt::CaseInsensitive) != 0)
            throw DbError::notUpdatable(
                QStringLiteral("the connection has moved from database %1 to %2").arg(database, current));
    }
    return run(batch, commandTimeoutSeconds);
}

bool Session::keepsResultsOpen() const
{
    return m_backendSession && m_backendSession->keepsResultsOpen();
}

ExecuteResult Session::run(const QString& batch, int commandTimeoutSeconds)
{
    QElapsedTimer timer;
    timer.start();
    try {
        ExecuteResult result = m_backendSession->execute(batch, commandTimeoutSeconds);
        StatementTrace::sent(batch, timer.nsecsElapsed() / 1000, result.rowsAffected);
        return result;
    } catch (const DbError& error) {
        StatementTrace::failed(
            batch, timer.nsecsElapsed() / 1000, error.nativeError() ? error.nativeError() : error.code());
        throw;
    }
}

QStringList Session::primaryKeyColumns(const QString& table)
{
    if (!m_backendSession)
        throw DbError::connectionInvalid();
    completeReader();
    return m_backendSession->primaryKeyColumns(table);
}

QString Session::identityColumn(const QString& table)
{
    if (!m_backendSession)
        throw DbError::connectionInvalid();
    completeReader();
    return m_backendSession->identityColumn(table);
}

QString Session::currentDatabase() const
{
    return m_backendSession ? m_backendSession->currentDatabase() : QString();
}

void Session::setReader(const std::shared_ptr<RecordsetData>& reader)
{
    m_reader = reader;
}

void Session::clearReader(const RecordsetData* reader)
{
    if (m_reader.lock().get() == reader)
        m_reader.reset();
}

void Session::completeReader()
{
    std::shared_ptr<RecordsetData> reader = m_reader.lock();
    m_reader.reset();
    if (reader)
        reader->completeBeforeNextBatch();
}

} // namespace glimora::data
