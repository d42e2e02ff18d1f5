#include "engine/storage/DatabaseConnection.h"

#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/Translator.h"
#include "engine/values/DecimalNumber.h"
#include "engine/values/SqlFunctions.h"

#include <climits>
#include <QFile>
#include <QRegularExpression>
#include <sqlite3.h>

namespace glimora::engine {

namespace {

const QStringList& fixedRoles()
{
    static const QStringList roles
        = { "db_owner", "db_accessadmin", "db_securityadmin", "db_ddladmin", "db_backupoperator",
              "db_datareader", "db_datawriter", "db_denydatareader", "db_denydatawriter", "public" };
    return roles;
}

// A decimal default as the column stores it: the text of the number with the column's places.
QString decimalDefault(const QString& literal, const SqlType& type)
{
    std::optional<DecimalNumber> value = DecimalNumber::parse(literal);
    if (value)
        value = value->rescaled(type.scale);
    if (!value || !value->fits(type.precision, type.scale))
        throw ServerError(
            8115, QStringLiteral("Arithmetic overflow error converting numeric to data type numeric."), 16);
    return Translator::quoteText(value->toString());
}

} // namespace

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

// ---- tables ----

bool DatabaseConnection::isReservedName(const QString& name)
{
    return name.startsWith(QLatin1String("__glimora"), Qt::CaseInsensitive)
        || name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

void DatabaseConnection::refreshSchema()
{
    SqliteStatement statement(*this, QStringLiteral("PRAGMA schema_version"));
    statement.step();
    const qint64 version = statement.intColumn(0);
    if (version != m_schemaVersion) {
        forgetSchema();
        m_schemaVersion = version;
    }
}

std::optional<TableInfo> DatabaseConnection::table(const QString& name)
{
    if (isReservedName(name))
        return std::nullopt;
    const QString key = name.toLower();
    auto cached = m_tables.constFind(key);
    if (cached != m_tables.constEnd())
        return *cached;

    SqliteStatement lookup(
        *this, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
    lookup.bindText(1, name);
    if (!lookup.step())
        return std::nullopt;
    TableInfo info;
    info.name = lookup.textColumn(0);
    info.sqlName = Translator::quoteName(info.name);

    SqliteStatement columns(
        *this, QStringLiteral("PRAGMA table_info(%1)").arg(Translator::quoteText(info.name)));
    while (columns.step()) {
        ColumnInfo column;
        column.name = columns.textColumn(1);
        column.notNull = columns.intColumn(3) != 0;
        column.primaryKey = columns.intColumn(5) != 0;
        info.columns.append(column);
    }
    SqliteStatement types(
        *this, QStringLiteral("SELECT col, type, is_identity FROM __glimora_columns WHERE tbl=?"));
    types.bindText(1, info.name);
    while (types.step()) {
        const int index = info.indexOf(types.textColumn(0));
        if (index < 0)
            continue;
        info.columns[index].type = SqlType::fromText(types.textColumn(1));
        info.columns[index].identity = types.intColumn(2) != 0;
    }
    m_tables.insert(key, info);
    return info;
}

bool DatabaseConnection::isReading() const
{
    for (sqlite3_stmt* statement = sqlite3_next_stmt(m_db, nullptr); statement;
         statement = sqlite3_next_stmt(m_db, statement)) {
        if (sqlite3_stmt_busy(statement))
            return true;
    }
    return false;
}

void DatabaseConnection::forgetSchema()
{
    m_tables.clear();
    m_indexes.clear();
}

const QList<DatabaseConnection::IndexKey>& DatabaseConnection::indexes(const QString& table)
{
    const QString key = table.toLower();
    auto cached = m_indexes.find(key);
    if (cached != m_indexes.end())
        return *cached;
    QList<IndexKey> keys;
    {
        SqliteStatement list(
            *this, QStringLiteral("PRAGMA index_list(%1)").arg(Translator::quoteText(table)));
        while (list.step())
            keys.append({ list.textColumn(1), {} });
    }
    for (IndexKey& index : keys) {
        SqliteStatement info(
            *this, QStringLiteral("PRAGMA index_info(%1)").arg(Translator::quoteText(index.name)));
        while (info.step()) {
            // An expression or the rowid ends what the key offers by name.
            if (info.intColumn(1) < 0)
                break;
            index.columns.append(info.textColumn(2));
        }
    }
    return *m_indexes.insert(key, keys);
}

QStringList DatabaseConnection::tableNames()
{
    QStringList names;
    SqliteStatement statement(*this,
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite!_%' "
                       "ESCAPE '!' AND name NOT LIKE '!_!_glimora%' ESCAPE '!' ORDER BY name"));
    while (statement.step())
        names.append(statement.textColumn(0));
    return names;
}

namespace {

// The primary key of a new table, from its constraint or its column, once the columns are
// found sound: unique names, one key, one identity of an integer type.
QStringList checkedPrimaryKey(const ast::Statement& statement)
{
    const QString& name = statement.table;
    const QList<ast::ColumnDefinition>& definitions = statement.columnDefinitions;
    QStringList primaryKey = statement.primaryKey;
    int identities = 0;
    QStringList seen;
    for (const ast::ColumnDefinition& column : definitions) {
        if (seen.contains(column.name, Qt::CaseInsensitive))
            throw ServerError(2705,
                QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' is "
                               "specified more than once.")
                    .arg(column.name, name),
                16);
        seen.append(column.name);
        if (column.primaryKey) {
            if (!primaryKey.isEmpty())
                throw ServerError(8110,
                    QStringLiteral("Cannot add multiple PRIMARY KEY constraints to table '%1'.").arg(name),
                    16);
            primaryKey.append(column.name);
        }
        if (column.identity) {
            ++identities;
            if (!(column.type.isInteger() || (column.type.isExactNumeric() && column.type.scale == 0))
                || column.type.base == SqlType::Base::Bit)
                throw ServerError(2749,
                    QStringLiteral(
                        "Identity column '%1' must be of data type int, bigint, smallint, tinyint, or "
                        "decimal or numeric with a scale of 0, and constrained to be nonnullable.")
                        .arg(column.name),
                    16);
            if (column.identityIncrement != 1)
                throw ServerError::notSupported(QStringLiteral("IDENTITY with an increment other than 1"));
        }
    }
    if (identities > 1)
        throw ServerError(2744,
            QStringLiteral("Multiple identity columns specified for table '%1'. Only one identity column per "
                           "table is allowed.")
                .arg(name),
            16);
    for (const QString& key : primaryKey) {
        if (!seen.contains(key, Qt::CaseInsensitive))
            throw ServerError(1911,
                QStringLiteral("Column name '%1' does not exist in the target table or view.").arg(key), 16);
    }
    return primaryKey;
}

// The SQLite declaration of one column of a new table; wholeKey when the column alone is its
// primary key.
QString columnDeclaration(const ast::ColumnDefinition& column, bool inKey, bool wholeKey)
{
    QString part = Translator::quoteName(column.name) + QLatin1Char(' ');
    if (column.identity) {
        if (!wholeKey)
            throw ServerError::notSupported(
                QStringLiteral("IDENTITY on a column that is not the whole primary key"));
        return part + QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL");
    }
    part += column.type.sqliteDeclaration();
    if (column.notNull || inKey)
        part += QStringLiteral(" NOT NULL");
    if (column.defaultValue) {
        const ast::Expr& value = *column.defaultValue;
        if (value.kind == ast::Expr::Kind::String)
            part += QStringLiteral(" DEFAULT ") + Translator::quoteText(value.text);
        else if (value.kind == ast::Expr::Kind::Number && column.type.keepsDecimalText())
            part += QStringLiteral(" DEFAULT ") + decimalDefault(value.text, column.type);
        else if (value.kind == ast::Expr::Kind::Number)
            part += QStringLiteral(" DEFAULT ") + value.text;
        else if (value.kind == ast::Expr::Kind::Null)
            part += QStringLiteral(" DEFAULT NULL");
        else if (value.kind == ast::Expr::Kind::Function && value.text == QLatin1String("getdate"))
            part += QStringLiteral(" DEFAULT (tsql_getdate())");
        else
            throw ServerError::notSupported(QStringLiteral("this DEFAULT value"));
    }
    return part;
}

} // namespace

void DatabaseConnection::createTable(const ast::Statement& statement)
{
    const QString& name = statement.table;
    if (isReservedName(name) || name.startsWith(QLatin1Char('#')))
        throw ServerError::notSupported(QStringLiteral("the table name ") + name);
    if (table(name))
        throw ServerError::objectExists(name);

    const QList<ast::ColumnDefinition>& definitions = statement.columnDefinitions;
    const QStringList primaryKey = checkedPrimaryKey(statement);

    QStringList parts;
    const ast::ColumnDefinition* identityColumn = nullptr;
    for (const ast::ColumnDefinition& column : definitions) {
        const bool inKey = primaryKey.contains(column.name, Qt::CaseInsensitive);
        if (column.identity)
            identityColumn = &column;
        parts.append(columnDeclaration(column, inKey, inKey && primaryKey.size() == 1));
    }
    if (!primaryKey.isEmpty() && !(identityColumn && primaryKey.size() == 1)) {
        QStringList keys;
        for (const QString& key : primaryKey)
            keys.append(Translator::quoteName(key));
        parts.append(QStringLiteral("PRIMARY KEY(") + keys.join(QStringLiteral(", ")) + QLatin1Char(')'));
    }

    beginWrite();
    try {
        execute(QStringLiteral("CREATE TABLE ") + Translator::quoteName(name) + QLatin1Char('(')
            + parts.join(QStringLiteral(", ")) + QLatin1Char(')'));
        for (int i = 0; i < definitions.size(); ++i) {
            SqliteStatement insert(*this,
                QStringLiteral(
                    "INSERT INTO __glimora_columns(tbl, col, ordinal, type, is_identity) VALUES(?,?,?,?,?)"));
            insert.bindText(1, name);
            insert.bindText(2, definitions[i].name);
            insert.bindInt(3, i + 1);
            insert.bindText(4, definitions[i].type.name());
            insert.bindInt(5, definitions[i].identity ? 1 : 0);
            insert.step();
        }
        if (identityColumn && identityColumn->identitySeed != 1) {
            SqliteStatement seed(
                *this, QStringLiteral("INSERT INTO sqlite_sequence(name, seq) VALUES(?, ?)"));
            seed.bindText(1, name);
            seed.bindInt(2, identityColumn->identitySeed - 1);
            seed.step();
        }
        commitWrite();
    } catch (...) {
        rollbackWrite();
        forgetSchema();
        throw;
    }
    forgetSchema();
}

void DatabaseConnection::dropTable(const QString& name)
{
    const std::optional<TableInfo> info = table(name);
    if (!info)
        throw ServerError(3701,
            QStringLiteral(
                "Cannot drop the table '%1', because it does not exist or you do not have permission.")
                .arg(name),
            11, 5);
    beginWrite();
    try {
        execute(QStringLiteral("DROP TABLE ") + info->sqlName);
        SqliteStatement remove(*this, QStringLiteral("DELETE FROM __glimora_columns WHERE tbl=?"));
        remove.bindText(1, info->name);
        remove.step();
        commitWrite();
    } catch (...) {
        rollbackWrite();
        forgetSchema();
        throw;
    }
    forgetSchema();
}

// ---- users and roles ----

bool DatabaseConnection::isFixedRole(const QString& role)
{
    return fixedRoles().contains(role, Qt::CaseInsensitive);
}

std::optional<QString> DatabaseConnection::userOfLogin(const QString& sid)
{
    if (sid.isEmpty())
        return std::nullopt;
    SqliteStatement statement(*this, QStringLiteral("SELECT name FROM __glimora_users WHERE sid=?"));
    statement.bindText(1, sid);
    if (!statement.step())
        return std::nullopt;
    return statement.textColumn(0);
}

void DatabaseConnection::adoptUserIdentifiers(
    const std::function<std::optional<QString>(const QString&)>& sidOfLogin)
{
    {
        SqliteStatement columns(*this, QStringLiteral("PRAGMA table_info(__glimora_users)"));
        while (columns.step()) {
            if (columns.textColumn(1).compare(QLatin1String("sid"), Qt::CaseInsensitive) == 0)
                return;
        }
    }
    beginWrite();
    try {
        // Another process may have done it while this one waited for the write lock.
        bool done = false;
        {
            SqliteStatement columns(*this, QStringLiteral("PRAGMA table_info(__glimora_users)"));
            while (columns.step())
                done = done || columns.textColumn(1).compare(QLatin1String("sid"), Qt::CaseInsensitive) == 0;
        }
        if (!done) {
            execute(QStringLiteral("ALTER TABLE __glimora_users ADD COLUMN sid TEXT"));
            QList<std::pair<QString, QString>> users;
            {
                SqliteStatement list(*this, QStringLiteral("SELECT name, login FROM __glimora_users"));
                while (list.step())
                    users.append({ list.textColumn(0), list.textColumn(1) });
            }
            for (const auto& [user, login] : users) {
                const std::optional<QString> sid = sidOfLogin(login);
                if (!sid)
                    continue; // its login is gone: the user stays orphaned
                SqliteStatement update(
                    *this, QStringLiteral("UPDATE __glimora_users SET sid=? WHERE name=?"));
                update.bindText(1, *sid);
                update.bindText(2, user);
                update.step();
            }
        }
        commitWrite();
    } catch (...) {
        rollbackWrite();
        throw;
    }
}

std::optional<QString> DatabaseConnection::loginOfUser(const QString& user)
{
    SqliteStatement statement(*this, QStringLiteral("SELECT login FROM __glimora_users WHERE name=?"));
    statement.bindText(1, user);
    if (!statement.step())
        return std::nullopt;
    return statement.textColumn(0);
}

bool DatabaseConnection::userExists(const QString& user)
{
    return loginOfUser(user).has_value();
}

void DatabaseConnection::addUser(const QString& user, const QString& login, const QString& sid)
{
    SqliteStatement statement(
        *this, QStringLiteral("INSERT INTO __glimora_users(name, login, sid) VALUES(?, ?, ?)"));
    statement.bindText(1, user);
    statement.bindText(2, login);
    statement.bindText(3, sid);
    statement.step();
}

void DatabaseConnection::dropUser(const QString& user)
{
    SqliteStatement roles(*this, QStringLiteral("DELETE FROM __glimora_role_members WHERE member=?"));
    roles.bindText(1, user);
    roles.step();
    SqliteStatement statement(*this, QStringLiteral("DELETE FROM __glimora_users WHERE name=?"));
    statement.bindText(1, user);
    statement.step();
}

QStringList DatabaseConnection::rolesOf(const QString& user)
{
    QStringList roles { QStringLiteral("public") };
    if (user.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0)
        roles.append(QStringLiteral("db_owner"));
    SqliteStatement statement(
        *this, QStringLiteral("SELECT role FROM __glimora_role_members WHERE member=?"));
    statement.bindText(1, user);
    while (statement.step())
        roles.append(statement.textColumn(0).toLower());
    return roles;
}

void DatabaseConnection::addRoleMember(const QString& role, const QString& member)
{
    SqliteStatement statement(
        *this, QStringLiteral("INSERT OR IGNORE INTO __glimora_role_members(role, member) VALUES(?, ?)"));
    statement.bindText(1, role.toLower());
    statement.bindText(2, member);
    statement.step();
}

void DatabaseConnection::dropRoleMember(const QString& role, const QString& member)
{
    SqliteStatement statement(
        *this, QStringLiteral("DELETE FROM __glimora_role_members WHERE role=? AND member=?"));
    statement.bindText(1, role);
    statement.bindText(2, member);
    statement.step();
}

} // namespace glimora::engine
