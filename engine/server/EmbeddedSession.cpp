#include "engine/server/EmbeddedSession.h"

#include "data/DbError.h"
#include "engine/rowset/RowsetStream.h"
#include "engine/storage/SessionCursor.h"
#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/BatchParser.h"
#include "engine/tsql/Translator.h"
#include "platform/ComputerName.h"

#include <sqlite3.h>

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

namespace {

data::DbError toDbError(const ServerError& error)
{
    return data::DbError(
        data::DbError::ProviderFailure, error.message(), error.number(), error.severity(), error.state());
}

ServerError killedError()
{
    return ServerError(
        596, QStringLiteral("Cannot continue the execution because the session is in the kill state."), 21, 1)
        .setAbortsBatch();
}

} // namespace

EmbeddedSession::EmbeddedSession(std::shared_ptr<Catalogue> catalogue, RowsetCellReader rowsetReader,
    const LoginInfo& login, const QString& database, int busyTimeoutMs)
    : m_catalogue(std::move(catalogue))
    , m_rowsetReader(std::move(rowsetReader))
    , m_login(login)
    , m_host(platform::computerName())
    , m_busyTimeoutMs(busyTimeoutMs)
{
    switchDatabase(database);
    m_spid = m_catalogue->registerSession(m_login.name, m_host, m_database->name());
    m_catalogue->killWatcher().watch(m_spid, [this] {
        std::unique_lock busy(m_busy, std::try_to_lock);
        if (busy.owns_lock())
            letGoAfterKill();
        else // a session at work stops its request at the next step and rolls it back
            m_killRequested = true;
    });
}

EmbeddedSession::~EmbeddedSession()
{
    // A result set still in the client's hands keeps its own connection; nothing to read here.
    m_catalogue->killWatcher().unwatch(m_spid);
    try {
        dropRowsets();
        m_catalogue->removeSession(m_spid);
    } catch (const std::exception&) {
        // A session that ends must not throw; a stale catalogue entry is cleaned up later.
    }
}

QString EmbeddedSession::currentDatabase() const
{
    return m_databaseName;
}

data::ExecuteResult EmbeddedSession::execute(const QString& batch, int commandTimeoutSeconds)
{
    std::lock_guard busy(m_busy);
    leaveOpenResult();

    // A session killed from any process is a broken connection for its client.
    if (m_killed || !m_catalogue->sessionExists(m_spid)) {
        letGoAfterKill();
        throw data::DbError(data::DbError::ProviderFailure,
            QStringLiteral(
                "A transport-level error has occurred when sending the request to the server. "
                "(provider: TCP Provider, error: 0 - An existing connection was forcibly closed by "
                "the remote host.)"),
            10054, 20, 0);
    }

    // Variables live for one batch; cursors are global to the session, as in SQL Server.
    m_variables.clear();
    QList<StatementPtr> statements;
    try {
        dropRowsets();
        statements = BatchParser::parse(batch);
        m_database->refreshSchema();
        refreshRoles();
    } catch (const ServerError& error) {
        m_lastError = error.number();
        throw toDbError(error);
    }

    m_deadline = commandTimeoutSeconds > 0 ? QDeadlineTimer(qint64(commandTimeoutSeconds) * 1000)
                                           : QDeadlineTimer(QDeadlineTimer::Forever);
    // A statement waits for another writer as long as its own time-out allows (none: until the
    // other is done), as SQL Server waits for locks; the connection's time-out is for the login.
    m_busyTimeoutMs = commandTimeoutSeconds > 0 ? commandTimeoutSeconds * 1000 : 0;
    m_database->setBusyTimeout(m_busyTimeoutMs);
    BatchState state;
    for (int i = 0; i < statements.size(); ++i) {
        sqlite3_progress_handler(m_database->handle(), 10000, interruptCheck, this);
        try {
            runStatement(*statements[i], state, i == statements.size() - 1);
            m_lastError = 0;
        } catch (const ServerError& error) {
            if (m_killRequested) {
                state.error = killedError();
                break;
            }
            m_lastError = error.number();
            if (!state.error)
                state.error = error;
            if (error.abortsBatch())
                break;
        } catch (const std::exception& error) {
            const ServerError failure(50000, QString::fromUtf8(error.what()), 16);
            if (!state.error)
                state.error = failure;
        }
    }
    sqlite3_progress_handler(m_database->handle(), 0, nullptr, nullptr);
    if (m_killRequested) {
        // Killed while at work: what the batch began is undone, and its client told at once.
        if (m_database->inTransaction()) {
            try {
                m_database->rollbackTransaction();
            } catch (const ServerError&) {
            }
        }
        if (state.cursor)
            state.cursor->discard();
        letGoAfterKill();
        throw toDbError(killedError());
    }
    if (state.error) {
        if (state.cursor)
            state.cursor->drain();
        throw toDbError(*state.error);
    }
    data::ExecuteResult result;
    result.rowsAffected = state.rowsAffected;
    if (state.cursor) {
        m_openCursor = state.cursor;
        result.cursor = std::make_unique<SessionCursor>(state.cursor);
    }
    return result;
}

// A result set still being read keeps its SQLite handle and its read snapshot, and the session
// goes on with a handle of its own, as several active result sets share one session in SQL
// Server: a grid writes back beside the rows it has not read, and never needs them read first.
// Inside a transaction, or over workbook rows of its batch, the result is read into memory
// first, since the next batch must see the same transaction and drops those rows.
void EmbeddedSession::leaveOpenResult()
{
    std::shared_ptr<SqliteCursor> cursor = m_openCursor.lock();
    m_openCursor.reset();
    if (!cursor || !cursor->isReading() || !m_database)
        return;
    if (!m_database->inTransaction() && m_rowsets.isEmpty()) {
        try {
            const std::optional<Catalogue::DatabaseEntry> entry = m_catalogue->database(m_databaseName);
            if (entry) {
                std::shared_ptr<DatabaseConnection> connection
                    = m_catalogue->openDatabase(*entry, m_busyTimeoutMs);
                connection->setInterruptFlag(&m_killRequested);
                // The handle left to the result is no longer this session's to interrupt.
                m_database->setInterruptFlag(nullptr);
                m_database = connection;
                return;
            }
        } catch (const ServerError&) {
            // No second handle: read the result first, as a server without them would.
        }
    }
    try {
        cursor->drain();
    } catch (const ServerError&) {
    }
}

QStringList EmbeddedSession::primaryKeyColumns(const QString& table)
{
    std::lock_guard busy(m_busy);
    // As for a missing table: whoever may not read it learns nothing of its columns.
    if (!m_database || !m_permissions.canRead())
        return {};
    try {
        const std::optional<TableInfo> info = m_database->table(table);
        if (!info)
            return {};
        SqliteStatement pragma(
            *m_database, QStringLiteral("PRAGMA table_info(%1)").arg(Translator::quoteText(info->name)));
        QMap<qint64, QString> keys;
        while (pragma.step()) {
            if (pragma.intColumn(5) > 0)
                keys.insert(pragma.intColumn(5), pragma.textColumn(1));
        }
        return keys.values();
    } catch (const ServerError& error) {
        throw toDbError(error);
    }
}

void EmbeddedSession::cancel()
{
    m_cancelRequested = true;
}

void EmbeddedSession::clearCancel()
{
    m_cancelRequested = false;
}

int EmbeddedSession::interruptCheck(void* session)
{
    const auto* self = static_cast<const EmbeddedSession*>(session);
    return self->m_killRequested || self->m_cancelRequested
            || (!self->m_buildingIndex && self->m_deadline.hasExpired())
        ? 1
        : 0;
}

void EmbeddedSession::stopIfKilled() const
{
    if (m_killRequested)
        throw killedError();
}

QString EmbeddedSession::identityColumn(const QString& table)
{
    std::lock_guard busy(m_busy);
    if (!m_database || !m_permissions.canRead())
        return {};
    try {
        const std::optional<TableInfo> info = m_database->table(table);
        if (info) {
            for (const ColumnInfo& column : info->columns) {
                if (column.identity)
                    return column.name;
            }
        }
        return {};
    } catch (const ServerError& error) {
        throw toDbError(error);
    }
}

void EmbeddedSession::switchDatabase(const QString& name)
{
    const std::optional<Catalogue::DatabaseEntry> entry = m_catalogue->database(name);
    if (!entry)
        throw ServerError::databaseMissing(name);
    m_catalogue->refuseWhileRestoring(entry->name);
    std::shared_ptr<DatabaseConnection> connection = m_catalogue->openDatabase(*entry, m_busyTimeoutMs);
    connection->setInterruptFlag(&m_killRequested);
    QString user = QStringLiteral("dbo");
    if (!m_login.sysadmin) {
        std::optional<QString> mapped = connection->userOfLogin(m_login.sid);
        // As in SQL Server, master lets every login in as its guest.
        if (!mapped && entry->name.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0)
            mapped = QStringLiteral("guest");
        if (!mapped)
            throw ServerError(916,
                QStringLiteral("The server principal \"%1\" is not able to access the database \"%2\" under "
                               "the current security context.")
                    .arg(m_login.name, entry->name),
                14, 1)
                .setAbortsBatch();
        user = *mapped;
    }
    // Refused here (a restore began meanwhile) the session stays in its database.
    if (m_spid)
        m_catalogue->updateSession(m_spid, entry->name);
    if (m_database)
        dropRowsets();
    m_database = connection;
    m_databaseName = entry->name;
    m_permissions = DatabasePermissions(m_login.sysadmin, user, {}, entry->name);
    refreshRoles();
}

void EmbeddedSession::refreshRoles()
{
    const QString user = m_permissions.user();
    m_permissions
        = DatabasePermissions(m_login.sysadmin, user, m_database->rolesOf(user), m_database->name());
}

void EmbeddedSession::refuseOtherDatabase(const QString& database)
{
    if (database.isEmpty() || database.compare(m_database->name(), Qt::CaseInsensitive) == 0)
        return;
    const std::optional<Catalogue::DatabaseEntry> entry = m_catalogue->database(database);
    if (!entry)
        throw ServerError::databaseMissing(database);
    if (!m_login.sysadmin) {
        const std::optional<QString> user
            = m_catalogue->openDatabase(*entry, m_busyTimeoutMs)->userOfLogin(m_login.sid);
        if (!user && entry->name.compare(QLatin1String("master"), Qt::CaseInsensitive) != 0)
            throw ServerError(916,
                QStringLiteral("The server principal \"%1\" is not able to access the database \"%2\" under "
                               "the current security context.")
                    .arg(m_login.name, entry->name),
                14, 1);
    }
    throw ServerError::notSupported(QStringLiteral("a table in another database"));
}

void EmbeddedSession::letGoAfterKill()
{
    // Let go of the database file at once, so that a restore may replace it.
    m_killed = true;
    dropRowsets();
    m_database.reset();
}

// ---- TranslationContext ----

std::optional<TableInfo> EmbeddedSession::findTable(const QString& database, const QString& name)
{
    refuseOtherDatabase(database);
    if (name.startsWith(QLatin1Char('#')))
        throw ServerError::notSupported(QStringLiteral("temporary tables"));
    return m_database->table(name);
}

void EmbeddedSession::requireRead(const QString& table)
{
    m_permissions.requireRead(table);
}

bool EmbeddedSession::mayKnow(const QString&)
{
    return m_permissions.canSeeObjects();
}

} // namespace glimora::engine
