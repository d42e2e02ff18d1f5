#include "engine/storage/DatabaseConnection.h"

#include "engine/values/SqlFunctions.h"

#include <climits>
#include <QFile>
#include <QRegularExpression>
#include <sqlite3.h>

namespace glimora::engine {

void DatabaseConnection::createFile(const QString& path, const QString& ownerLogin, const QString& ownerSid)
{
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw ServerError(5123,
                QStringLiteral("CREATE FILE encountered operating system error while attempting to open or "
                               "create the physical file '%1'.")
                    .arg(path),
                16);
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    std::shared_ptr<DatabaseConnection> connection = open(QString(), path, 10000);
    connection->execute(QStringLiteral("PRAGMA journal_mode=WAL"));
    connection->execute(QStringLiteral(
        "BEGIN IMMEDIATE;"
        "CREATE TABLE __glimora_columns(tbl TEXT COLLATE NOCASE, col TEXT COLLATE NOCASE, ordinal INTEGER,"
        " type TEXT, is_identity INTEGER, PRIMARY KEY(tbl, col));"
        "CREATE TABLE __glimora_users(name TEXT COLLATE NOCASE PRIMARY KEY, login TEXT COLLATE NOCASE,"
        " sid TEXT);"
        "CREATE TABLE __glimora_role_members(role TEXT COLLATE NOCASE, member TEXT COLLATE NOCASE,"
        " PRIMARY KEY(role, member));"
        "COMMIT;"));
    connection->addUser(QStringLiteral("dbo"), ownerLogin, ownerSid);
}

std::shared_ptr<DatabaseConnection> DatabaseConnection::open(
    const QString& name, const QString& path, int busyTimeoutMs)
{
    // A restore may put a new file under the name between the open and the first read, which
    // waits for the restore: the connection then holds the old file, so it opens the new one.
    for (int attempt = 0;; ++attempt) {
        std::shared_ptr<DatabaseConnection> connection = openOnce(name, path, busyTimeoutMs);
        int moved = 0;
        if (attempt >= 3
            || sqlite3_file_control(connection->m_db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK
            || !moved)
            return connection;
    }
}

std::shared_ptr<DatabaseConnection> DatabaseConnection::openOnce(
    const QString& name, const QString& path, int busyTimeoutMs)
{
    std::shared_ptr<DatabaseConnection> connection(new DatabaseConnection(name, path));
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &connection->m_db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK)
        throw ServerError(945,
            QStringLiteral("Database '%1' cannot be opened due to inaccessible files or insufficient memory "
                           "or disk space.")
                .arg(name),
            14)
            .setAbortsBatch();
    sqlite3_extended_result_codes(connection->m_db, 1);
    connection->setBusyTimeout(busyTimeoutMs);
    SqlFunctions::install(connection->m_db);
    connection->execute(QStringLiteral("PRAGMA synchronous=FULL"));
    // A restore that died after leaving write-ahead logging left the file in rollback mode.
    if (!name.isEmpty())
        sqlite3_exec(connection->m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    return connection;
}

DatabaseConnection::DatabaseConnection(const QString& name, const QString& path)
    : m_name(name)
    , m_path(path)
{
}

DatabaseConnection::~DatabaseConnection()
{
    sqlite3_close_v2(m_db);
}

void DatabaseConnection::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds <= 0 ? INT_MAX : milliseconds;
    sqlite3_busy_handler(m_db, &DatabaseConnection::busyHandler, this);
}

int DatabaseConnection::busyHandler(void* connection, int attempt)
{
    auto* self = static_cast<DatabaseConnection*>(connection);
    if (attempt == 0)
        self->m_busySince.start();
    if (self->m_interrupt && self->m_interrupt->load())
        return 0;
    if (self->m_busySince.elapsed() >= self->m_busyTimeoutMs)
        return 0;
    sqlite3_sleep(attempt < 10 ? 2 : 10);
    return 1;
}

void DatabaseConnection::execute(const QString& sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        throw error(rc);
}

ServerError DatabaseConnection::error(int rc) const
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
    if (std::optional<ServerError> own = SqlFunctions::decodeError(message))
        return *own;
    const int primary = rc & 0xff;
    auto after = [&](const QString& prefix) {
        QString rest = message.mid(message.indexOf(prefix) + prefix.size()).trimmed();
        if (rest.startsWith(QLatin1String("main.")) || rest.startsWith(QLatin1String("temp.")))
            rest = rest.mid(5);
        return rest;
    };
    if (message.startsWith(QLatin1String("no such table:")))
        return ServerError::invalidObject(after(QStringLiteral("no such table:")));
    if (message.startsWith(QLatin1String("no such column:")))
        return ServerError::invalidColumn(after(QStringLiteral("no such column:")));
    if (message.startsWith(QLatin1String("ambiguous column name:")))
        return ServerError(209,
            QStringLiteral("Ambiguous column name '%1'.")
                .arg(after(QStringLiteral("ambiguous column name:"))),
            16);
    // SQLite's own limits on the translated text: its parser's stack and its expression depth.
    if (message == QLatin1String("parser stack overflow")
        || message.startsWith(QLatin1String("Expression tree is too large")))
        return ServerError(191,
            QStringLiteral(
                "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up "
                "into smaller queries."),
            15, 1);
    if (message.startsWith(QLatin1String("UNIQUE constraint failed:"))) {
        const QString table
            = after(QStringLiteral("UNIQUE constraint failed:")).section(QLatin1Char('.'), 0, 0);
        return ServerError(2627,
            QStringLiteral("Violation of PRIMARY KEY constraint 'PK_%1'. Cannot insert duplicate key in "
                           "object 'dbo.%1'.")
                .arg(table),
            14, 1);
    }
    if (message.startsWith(QLatin1String("NOT NULL constraint failed:"))) {
        const QString target = after(QStringLiteral("NOT NULL constraint failed:"));
        return ServerError(515,
            QStringLiteral("Cannot insert the value NULL into column '%1', table '%2.dbo.%3'; column does "
                           "not allow nulls. %4 fails.")
                .arg(target.section(QLatin1Char('.'), 1), m_name, target.section(QLatin1Char('.'), 0, 0),
                    m_verb),
            16, 2);
    }
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return ServerError(1222, QStringLiteral("Lock request time out period exceeded."), 16, 45);
    if (primary == SQLITE_INTERRUPT)
        return ServerError(0, QStringLiteral("Query timeout expired"), 16).setAbortsBatch();
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        return ServerError(824,
            QStringLiteral("SQL Server detected a logical consistency-based I/O error in database '%1': %2")
                .arg(m_name, message),
            24)
            .setAbortsBatch();
    if (primary == SQLITE_FULL)
        return ServerError(1105,
            QStringLiteral("Could not allocate space in database '%1' because the disk is full.").arg(m_name),
            17);
    if (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY)
        return ServerError(823,
            QStringLiteral("The operating system returned an error on database '%1': %2")
                .arg(m_name, message),
            24)
            .setAbortsBatch();
    static const QRegularExpression near(QStringLiteral("near \"([^\"]*)\": syntax error"));
    const QRegularExpressionMatch match = near.match(message);
    if (match.hasMatch())
        return ServerError::syntaxNear(match.captured(1));
    return ServerError(50000, message, 16);
}

// ---- transactions ----

void DatabaseConnection::beginWrite()
{
    if (m_transactionDepth > 0)
        execute(QStringLiteral("SAVEPOINT statement"));
    else
        execute(QStringLiteral("BEGIN IMMEDIATE"));
}

void DatabaseConnection::commitWrite()
{
    if (m_transactionDepth > 0)
        execute(QStringLiteral("RELEASE statement"));
    else
        execute(QStringLiteral("COMMIT"));
}

void DatabaseConnection::rollbackWrite()
{
    // Called while a failure is already on its way: its own failure must not hide that one.
    const char* sql = m_transactionDepth > 0 ? "ROLLBACK TO statement; RELEASE statement" : "ROLLBACK";
    if (sqlite3_get_autocommit(m_db) && m_transactionDepth == 0)
        return;
    sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

void DatabaseConnection::beginTransaction()
{
    if (m_transactionDepth == 0)
        execute(QStringLiteral("BEGIN IMMEDIATE"));
    ++m_transactionDepth;
}

void DatabaseConnection::commitTransaction()
{
    if (m_transactionDepth == 0)
        throw ServerError(3902,
            QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."), 16);
    if (--m_transactionDepth == 0)
        execute(QStringLiteral("COMMIT"));
}

void DatabaseConnection::rollbackTransaction()
{
    if (m_transactionDepth == 0)
        throw ServerError(3903,
            QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."), 16);
    m_transactionDepth = 0;
    execute(QStringLiteral("ROLLBACK"));
    forgetSchema();
}

} // namespace glimora::engine
