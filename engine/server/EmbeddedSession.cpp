#include "engine/server/EmbeddedSession.h"

#include "data/DbError.h"
#include "engine/backup/DatabaseBackup.h"
#include "engine/rowset/RowsetLoader.h"
#include "engine/rowset/RowsetStream.h"
#include "engine/server/SystemProcedures.h"
#include "engine/storage/ServedIndexes.h"
#include "engine/storage/SessionCursor.h"
#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/BatchParser.h"
#include "engine/tsql/Translator.h"
#include "engine/values/DateTimeText.h"
#include "engine/workbook/BackgroundSheetReader.h"
#include "platform/ComputerName.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>
#include <functional>
#include <QLocale>
#include <QtGlobal>
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

QString literalOf(sqlite3_stmt* statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QStringLiteral("NULL");
    case SQLITE_INTEGER:
        return QString::number(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return QString::number(sqlite3_column_double(statement, column), 'g', 17);
    case SQLITE_BLOB: {
        const QByteArray bytes(static_cast<const char*>(sqlite3_column_blob(statement, column)),
            sqlite3_column_bytes(statement, column));
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(bytes.toHex()));
    }
    default:
        return Translator::quoteText(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                sqlite3_column_bytes(statement, column)));
    }
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

int EmbeddedSession::interruptCheck(void* session)
{
    const auto* self = static_cast<const EmbeddedSession*>(session);
    return self->m_killRequested || (!self->m_buildingIndex && self->m_deadline.hasExpired()) ? 1 : 0;
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

void EmbeddedSession::runStatement(const Statement& statement, BatchState& state, bool lastInBatch)
{
    stopIfKilled();
    switch (statement.kind) {
    case Statement::Kind::Select:
        return runSelect(statement, state, lastInBatch);
    case Statement::Kind::Insert:
        if (statement.execSource)
            return runInsertExec(statement, state);
        return runChange(statement, state);
    case Statement::Kind::Update:
    case Statement::Kind::Delete:
        return runChange(statement, state);
    case Statement::Kind::CreateTable:
        refuseOtherDatabase(statement.name);
        if (!m_permissions.canChangeSchema())
            throw ServerError(262,
                QStringLiteral("CREATE TABLE permission denied in database '%1'.").arg(m_database->name()),
                14, 1);
        m_database->createTable(statement);
        return;
    case Statement::Kind::DropTable:
        for (const QString& table : statement.tables) {
            // As for a missing table: whoever may not drop it does not learn that it exists.
            if (!m_permissions.canChangeSchema())
                throw ServerError(3701,
                    QStringLiteral("Cannot drop the table '%1', because it does not exist or you do not have "
                                   "permission.")
                        .arg(table),
                    11, 5);
            m_database->dropTable(table);
        }
        return;
    case Statement::Kind::CreateDatabase:
        if (!m_login.sysadmin && !m_catalogue->isServerRoleMember(m_login.name, QStringLiteral("dbcreator")))
            throw ServerError(
                262, QStringLiteral("CREATE DATABASE permission denied in database 'master'."), 14);
        m_catalogue->createDatabase(statement.name, m_login.name);
        return;
    case Statement::Kind::DropDatabase: {
        if (!m_login.sysadmin)
            throw ServerError(3701,
                QStringLiteral(
                    "Cannot drop the database '%1', because it does not exist or you do not have permission.")
                    .arg(statement.name),
                14);
        if (m_database->name().compare(statement.name, Qt::CaseInsensitive) == 0
            || !m_catalogue->sessionsUsing(statement.name).isEmpty()
            || m_catalogue->isRestoring(statement.name))
            throw ServerError(3702,
                QStringLiteral("Cannot drop database \"%1\" because it is currently in use.")
                    .arg(statement.name),
                16);
        m_catalogue->dropDatabase(statement.name);
        return;
    }
    case Statement::Kind::Use:
        switchDatabase(statement.name);
        return;
    case Statement::Kind::Backup:
    case Statement::Kind::Restore:
        return runBackupOrRestore(statement);
    case Statement::Kind::Kill:
        return runKill(statement);
    case Statement::Kind::DeclareCursor:
    case Statement::Kind::OpenCursor:
    case Statement::Kind::FetchCursor:
    case Statement::Kind::CloseCursor:
    case Statement::Kind::DeallocateCursor:
        return runCursorStatement(statement);
    case Statement::Kind::Exec:
        return runExec(statement, &state);
    case Statement::Kind::SetOption:
        if (statement.name.compare(QLatin1String("showplan_text"), Qt::CaseInsensitive) == 0)
            m_showPlan = statement.columns.value(0).compare(QLatin1String("on"), Qt::CaseInsensitive) == 0;
        return;
    case Statement::Kind::Print:
        return;
    case Statement::Kind::Declare:
        for (const ColumnDefinition& definition : statement.columnDefinitions) {
            if (m_variables.contains(definition.name.toLower()))
                throw ServerError(134,
                    QStringLiteral("The variable name '%1' has already been declared. Variable names must be "
                                   "unique within a query batch or stored procedure.")
                        .arg(definition.name),
                    15);
            Variable variable { definition.type, QStringLiteral("NULL") };
            if (definition.defaultValue)
                variable = evaluate(definition.defaultValue, definition.type);
            m_variables.insert(definition.name.toLower(), variable);
        }
        return;
    case Statement::Kind::SetVariable: {
        auto found = m_variables.find(statement.name.toLower());
        if (found == m_variables.end())
            throw ServerError(
                137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(statement.name), 15);
        *found = evaluate(statement.expr, found->type);
        return;
    }
    case Statement::Kind::Block:
        for (const StatementPtr& inner : statement.body)
            runStatement(*inner, state, false);
        return;
    case Statement::Kind::If:
        for (const StatementPtr& inner :
            evaluateCondition(statement.expr) ? statement.body : statement.elseBody)
            runStatement(*inner, state, false);
        return;
    case Statement::Kind::While:
        while (evaluateCondition(statement.expr)) {
            for (const StatementPtr& inner : statement.body)
                runStatement(*inner, state, false);
        }
        return;
    case Statement::Kind::BeginTransaction:
        m_database->beginTransaction();
        return;
    case Statement::Kind::CommitTransaction:
        m_database->commitTransaction();
        return;
    case Statement::Kind::RollbackTransaction:
        m_database->rollbackTransaction();
        return;
    }
}

void EmbeddedSession::outsideDeadline(const std::function<void()>& work)
{
    // Building an index once is not the statement's time: a statement that gave up half-way
    // would leave the visitor with an error and the next one the same work. A kill still stops it.
    QElapsedTimer building;
    building.start();
    m_buildingIndex = true;
    const auto done = qScopeGuard([&] {
        m_buildingIndex = false;
        if (!m_deadline.isForever())
            m_deadline = QDeadlineTimer(qMax<qint64>(0, m_deadline.remainingTime()) + building.elapsed());
    });
    work();
}

void EmbeddedSession::runSelect(const Statement& statement, BatchState& state, bool lastInBatch)
{
    Translator translator(*this);
    const Translator::Query query = translator.select(*statement.select);
    const ast::TableSource& source = statement.select->from.first;
    if (statement.select->hasFrom && source.kind == ast::TableSource::Kind::Table
        && (source.database.isEmpty()
            || source.database.compare(m_database->name(), Qt::CaseInsensitive) == 0)) {
        if (const std::optional<TableInfo> table = m_database->table(source.name)) {
            outsideDeadline([&] {
                ServedIndexes::serve(*m_database, *table, ServedIndexes::wish(*statement.select, *table));
            });
        }
    }
    if (m_showPlan)
        return planOf(query.sql, state);
    auto cursor = std::make_shared<SqliteCursor>(m_database, query.sql, query.columns);
    if (state.cursor) {
        cursor->discard();
        return;
    }
    // Only the last statement may stream: what follows it must not run under its read.
    if (!lastInBatch)
        cursor->drain();
    state.cursor = cursor;
}

void EmbeddedSession::planOf(const QString& sql, BatchState& state)
{
    if (state.cursor)
        return;
    const QList<ResultColumn> columns = { { QStringLiteral("id"), SqlType::of(Base::Int), {}, {} },
        { QStringLiteral("parent"), SqlType::of(Base::Int), {}, {} },
        { QStringLiteral("notused"), SqlType::of(Base::Int), {}, {} },
        { QStringLiteral("StmtText"), SqlType::of(Base::NVarChar, 4000), {}, {} } };
    auto cursor
        = std::make_shared<SqliteCursor>(m_database, QStringLiteral("EXPLAIN QUERY PLAN ") + sql, columns);
    cursor->drain();
    state.cursor = cursor;
}

bool EmbeddedSession::rowsetMayStream(const Statement& statement)
{
    const SelectPtr& select = statement.select;
    return statement.kind == Statement::Kind::Insert && select && select->hasFrom
        && select->from.first.kind == TableSource::Kind::Rowset && select->from.joins.isEmpty()
        && select->unions.isEmpty() && select->groupBy.isEmpty() && !select->having && !select->distinct
        && select->orderBy.isEmpty() && !select->top;
}

void EmbeddedSession::runChange(const Statement& statement, BatchState& state)
{
    const bool insert = statement.kind == Statement::Kind::Insert;
    const QString verb = insert                     ? QStringLiteral("INSERT")
        : statement.kind == Statement::Kind::Update ? QStringLiteral("UPDATE")
                                                    : QStringLiteral("DELETE");
    refuseOtherDatabase(statement.name);
    m_permissions.requireWrite(verb, statement.table);

    // A worksheet's rows first stream straight into the table. Whatever stops that (a column
    // turning to another kind late, a bad value, a damaged file) has rolled the statement
    // back, and it runs again over the loaded rows, failing or not exactly as it always has.
    const bool streamRowset = !m_showPlan && rowsetMayStream(statement);
    try {
        return runChangeOnce(statement, state, streamRowset);
    } catch (...) {
        if (!m_lastChangeStreamed || m_killRequested || m_deadline.hasExpired())
            throw;
    }
    runChangeOnce(statement, state, false);
}

void EmbeddedSession::runChangeOnce(const Statement& statement, BatchState& state, bool streamRowset)
{
    const bool insert = statement.kind == Statement::Kind::Insert;
    const QString verb = insert                     ? QStringLiteral("INSERT")
        : statement.kind == Statement::Kind::Update ? QStringLiteral("UPDATE")
                                                    : QStringLiteral("DELETE");
    m_lastChangeStreamed = false;
    m_mayStreamRowset = streamRowset;
    Translator translator(*this);
    QString sql;
    try {
        sql = insert                                    ? translator.insert(statement)
            : statement.kind == Statement::Kind::Update ? translator.update(statement)
                                                        : translator.remove(statement);
    } catch (...) {
        // Columns learnt from the first rows may lack one that a later row brings.
        m_lastChangeStreamed = !m_rowsetStreams.empty();
        m_mayStreamRowset = false;
        dropRowsets();
        throw;
    }
    m_mayStreamRowset = false;
    const bool streamed = !m_rowsetStreams.empty();
    if (m_showPlan)
        return planOf(sql, state);
    m_database->setStatementVerb(verb);
    m_database->beginWrite();
    int changed = 0;
    qint64 lastRowid = 0;
    QList<ServedIndexes::SetAside> setAside;
    std::optional<ServedIndexes::MaintenanceCache> maintenanceCache;
    std::optional<TableInfo> table;
    try {
        m_lastChangeStreamed = streamed;
        table = m_database->table(statement.table);
        if (insert && statement.select && table) {
            setAside = ServedIndexes::setAsideForBulkInsert(*m_database, *table);
            if (setAside.isEmpty())
                maintenanceCache.emplace(*m_database, *table);
        }
        SqliteStatement change(*m_database, sql);
        change.step();
        // The rows are in: running the statement again would not mend what fails after.
        m_lastChangeStreamed = false;
        // Taken now: what the index work below runs must not count as the statement's.
        changed = sqlite3_changes(m_database->handle());
        lastRowid = sqlite3_last_insert_rowid(m_database->handle());
        if (table && statement.kind != Statement::Kind::Update) {
            outsideDeadline([&] {
                if (!setAside.isEmpty())
                    ServedIndexes::buildAgain(*m_database, setAside);
                else
                    ServedIndexes::refreshStatistics(*m_database, table->name, changed);
            });
        }
        m_database->commitWrite();
    } catch (...) {
        m_database->rollbackWrite();
        // The rollback brought back any index set aside and took away any built.
        m_database->forgetSchema();
        dropRowsets();
        throw;
    }
    m_lastChangeStreamed = false;
    dropRowsets();
    m_rowCount = changed;
    state.rowsAffected = m_rowCount;
    if (insert) {
        // @@IDENTITY follows the last insert: the value given to its identity column, NULL
        // when its table has none. The SQLite rowid of any other table is not an identity.
        const bool hasIdentity = table
            && std::any_of(table->columns.cbegin(), table->columns.cend(),
                [](const ColumnInfo& column) { return column.identity; });
        if (!hasIdentity)
            m_identity.reset();
        else if (m_rowCount > 0)
            m_identity = lastRowid;
    }
}

void EmbeddedSession::runExec(const Statement& statement, BatchState* state)
{
    if (statement.dynamicText) {
        const Variable text
            = evaluate(concatenation(statement.dynamicText), SqlType::of(Base::NVarChar, SqlType::MaxLength));
        SqliteStatement read(*m_database, QStringLiteral("SELECT ") + text.sql);
        read.step();
        const QString batch = read.textColumn(0);
        BatchState inner;
        const QList<StatementPtr> statements = BatchParser::parse(batch);
        for (const StatementPtr& innerStatement : statements)
            runStatement(*innerStatement, inner, false);
        if (inner.error)
            throw *inner.error;
        return;
    }
    if (statement.name.compare(QLatin1String("sp_who"), Qt::CaseInsensitive) == 0) {
        BatchState ignored;
        runSelect(*BatchParser::parse(whoQuery(false)).first(), state ? *state : ignored, false);
        return;
    }
    if (!SystemProcedures::exists(statement.name))
        throw ServerError(
            2812, QStringLiteral("Could not find stored procedure '%1'.").arg(statement.name), 16, 62);
    QList<SystemProcedures::Argument> arguments;
    for (const auto& [parameter, value] : statement.arguments) {
        SystemProcedures::Argument argument;
        argument.parameter = parameter;
        if (value && value->kind != Expr::Kind::Null) {
            if (value->kind == Expr::Kind::String || value->kind == Expr::Kind::Number) {
                argument.value = value->text;
            } else {
                const Variable evaluated = evaluate(value, SqlType::of(Base::NVarChar, 4000));
                SqliteStatement read(*m_database, QStringLiteral("SELECT ") + evaluated.sql);
                read.step();
                if (sqlite3_column_type(read.handle(), 0) != SQLITE_NULL)
                    argument.value = read.textColumn(0);
            }
        }
        arguments.append(argument);
    }
    SystemProcedures procedures(*m_catalogue, *m_database, m_login, m_permissions);
    procedures.run(statement.name, arguments);
    // A user or role added to this database changes what this session may do.
    refreshRoles();
}

void EmbeddedSession::runBackupOrRestore(const Statement& statement)
{
    DatabaseBackup backup(*m_catalogue);
    if (statement.kind == Statement::Kind::Restore) {
        const bool creator
            = m_login.sysadmin || m_catalogue->isServerRoleMember(m_login.name, QStringLiteral("dbcreator"));
        // Reading a device tells what a file holds: only those who may create databases ask.
        if (statement.verifyOnly && !creator)
            throw ServerError(
                262, QStringLiteral("CREATE DATABASE permission denied in database 'master'."), 14, 1);
        if (statement.verifyOnly)
            return backup.verify(statement.device, statement.fileNumber);
        if (!creator)
            throw ServerError(3110,
                QStringLiteral("User does not have permission to RESTORE database '%1'.").arg(statement.name),
                14, 1);
        // Whoever restores master owns every login's fate: never while the server runs for all.
        if (statement.name.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0)
            throw ServerError(3108,
                QStringLiteral(
                    "To restore the master database, the server must be running in single-user mode. "
                    "For information about starting in single-user mode, see \"How to: Start an "
                    "Instance of SQL Server (sqlservr.exe)\" in Books Online."),
                16, 2);
        return backup.restore(
            statement.name, statement.device, statement.fileNumber, statement.replace, m_login.name);
    }
    if (!m_catalogue->database(statement.name))
        throw ServerError::databaseMissing(statement.name);
    if (!m_login.sysadmin) {
        std::shared_ptr<DatabaseConnection> target = m_database;
        if (target->name().compare(statement.name, Qt::CaseInsensitive) != 0)
            target = m_catalogue->openDatabase(*m_catalogue->database(statement.name), m_busyTimeoutMs);
        const std::optional<QString> user = target->userOfLogin(m_login.sid);
        const QStringList roles = user ? target->rolesOf(*user) : QStringList();
        if (!roles.contains(QStringLiteral("db_owner"))
            && !roles.contains(QStringLiteral("db_backupoperator")))
            throw ServerError(262,
                QStringLiteral("BACKUP %1 permission denied in database '%2'.")
                    .arg(statement.log ? QStringLiteral("LOG") : QStringLiteral("DATABASE"), statement.name),
                14, 1);
    }
    // Databases here run in the simple recovery model: there is no log to back up.
    if (statement.log)
        throw ServerError(4208,
            QStringLiteral("The statement BACKUP LOG is not allowed while the recovery model is SIMPLE. Use "
                           "BACKUP DATABASE or change the recovery model using ALTER DATABASE."),
            16, 1);
    backup.backup(statement.name, statement.device, statement.init, statement.format);
}

ExprPtr EmbeddedSession::concatenation(const ExprPtr& expr)
{
    // The restore job sends exec('kill   '+@spid) with an int @spid. SQL Server would fail
    // converting 'kill   ' to int; here a text built for EXEC joins its parts as text.
    QList<ExprPtr> parts;
    std::function<void(const ExprPtr&)> flatten = [&](const ExprPtr& part) {
        if (part->kind == Expr::Kind::Binary_ && part->text == QLatin1String("+")) {
            flatten(part->args[0]);
            flatten(part->args[1]);
        } else {
            parts.append(part);
        }
    };
    flatten(expr);
    const bool hasText = std::any_of(
        parts.begin(), parts.end(), [](const ExprPtr& part) { return part->kind == Expr::Kind::String; });
    if (!hasText || parts.size() < 2)
        return expr;
    ExprPtr joined;
    for (const ExprPtr& part : parts) {
        auto text = std::make_shared<Expr>();
        text->kind = Expr::Kind::Cast;
        text->text = QStringLiteral("cast");
        text->position = part->position;
        text->type = SqlType::of(Base::NVarChar, 4000);
        text->args.append(part);
        if (!joined) {
            joined = text;
            continue;
        }
        auto plus = std::make_shared<Expr>();
        plus->kind = Expr::Kind::Binary_;
        plus->text = QStringLiteral("+");
        plus->position = joined->position;
        plus->args = { joined, text };
        joined = plus;
    }
    return joined;
}

QString EmbeddedSession::whoQuery(bool requestId)
{
    // T-SQL literals, parsed again below.
    auto text = [](QString value) {
        return QStringLiteral("N'") + value.replace(u'\'', QLatin1String("''")) + u'\'';
    };
    // Without VIEW SERVER STATE (sysadmin, serveradmin, processadmin) a login sees itself only.
    const bool seesAll = m_login.sysadmin
        || m_catalogue->isServerRoleMember(m_login.name, QStringLiteral("processadmin"))
        || m_catalogue->isServerRoleMember(m_login.name, QStringLiteral("serveradmin"));
    QStringList rows;
    for (const Catalogue::SessionEntry& session : m_catalogue->liveSessions()) {
        const bool self = session.spid == m_spid;
        if (!self && !seesAll)
            continue;
        QString row = QStringLiteral("select cast(%1 as smallint) spid, cast(0 as smallint) ecid, cast(%2 as "
                                     "nchar(30)) status, cast(%3 as nvarchar(128)) loginame, cast(%4 as "
                                     "nchar(128)) hostname, cast('0' as char(5)) blk, cast(%5 as "
                                     "nvarchar(128)) dbname, cast(%6 as nchar(16)) cmd")
                          .arg(session.spid)
                          .arg(text(self ? QStringLiteral("runnable") : session.status), text(session.login),
                              text(session.host), text(self ? m_database->name() : session.database),
                              text(self ? QStringLiteral("SELECT") : QStringLiteral("AWAITING COMMAND")));
        if (requestId)
            row += QStringLiteral(", 0 request_id");
        rows.append(row);
    }
    return rows.join(QStringLiteral(" union all "));
}

void EmbeddedSession::runInsertExec(const Statement& statement, BatchState& state)
{
    const Statement& source = *statement.execSource;
    if (source.dynamicText || source.name.compare(QLatin1String("sp_who"), Qt::CaseInsensitive) != 0)
        throw ServerError::notSupported(QStringLiteral("INSERT ... EXEC of a procedure other than sp_who"));
    // SQL Server 2005 and later return a ninth column, request_id; a table made for it gets it.
    const std::optional<TableInfo> table = m_database->table(statement.table);
    if (!table)
        throw ServerError::invalidObject(statement.table);
    const bool requestId
        = statement.columns.isEmpty() ? table->columns.size() == 9 : statement.columns.size() == 9;
    Statement insert = statement;
    insert.execSource.reset();
    insert.select = BatchParser::parse(whoQuery(requestId)).first()->select;
    runChange(insert, state);
}

void EmbeddedSession::runKill(const Statement& statement)
{
    if (!m_login.sysadmin && !m_catalogue->isServerRoleMember(m_login.name, QStringLiteral("processadmin")))
        throw ServerError(
            6102, QStringLiteral("User does not have permission to use the KILL statement."), 14, 1);
    const Variable value = evaluate(statement.expr, SqlType::of(Base::Int));
    bool isNumber = false;
    const int spid = value.sql.toInt(&isNumber);
    if (!isNumber)
        throw ServerError(6112,
            QStringLiteral("Process ID %1 is not a valid process ID. Choose a number between 1 and 2048.")
                .arg(value.sql),
            16, 1);
    if (spid == m_spid)
        throw ServerError(6104, QStringLiteral("Cannot use KILL to kill your own process."), 16, 1);
    if (!m_catalogue->killSession(spid))
        throw ServerError(
            6106, QStringLiteral("Process ID %1 is not an active process ID.").arg(spid), 16, 2);
}

void EmbeddedSession::runCursorStatement(const Statement& statement)
{
    const QString key = statement.name.toLower();
    if (statement.kind == Statement::Kind::DeclareCursor) {
        if (m_cursors.contains(key))
            throw ServerError(16915,
                QStringLiteral("A cursor with the name '%1' already exists.").arg(statement.name), 16, 1);
        Cursor cursor;
        cursor.select = statement.select;
        m_cursors.insert(key, cursor);
        return;
    }
    auto found = m_cursors.find(key);
    if (found == m_cursors.end())
        throw ServerError(
            16916, QStringLiteral("A cursor with the name '%1' does not exist.").arg(statement.name), 16, 1);
    Cursor& cursor = *found;
    switch (statement.kind) {
    case Statement::Kind::OpenCursor: {
        if (cursor.open)
            throw ServerError(16905, QStringLiteral("The cursor is already open."), 16, 1);
        Translator translator(*this);
        const Translator::Query query = translator.select(*cursor.select);
        // The rows are read at once, as an INSENSITIVE cursor would see them.
        SqliteStatement read(*m_database, query.sql);
        const int columns = sqlite3_column_count(read.handle());
        cursor.rows.clear();
        while (read.step()) {
            QStringList row;
            for (int c = 0; c < columns; ++c)
                row.append(literalOf(read.handle(), c));
            cursor.rows.append(row);
        }
        cursor.position = 0;
        cursor.open = true;
        return;
    }
    case Statement::Kind::FetchCursor: {
        if (!cursor.open)
            throw ServerError(16917, QStringLiteral("Cursor is not open."), 16, 2);
        if (cursor.position >= cursor.rows.size()) {
            m_fetchStatus = -1;
            return;
        }
        const QStringList& row = cursor.rows[cursor.position++];
        if (!statement.columns.isEmpty() && statement.columns.size() != row.size())
            throw ServerError(16924,
                QStringLiteral(
                    "Cursor Fetch: The number of variables declared in the INTO list must match that "
                    "of selected columns."),
                16, 1);
        for (int c = 0; c < statement.columns.size(); ++c) {
            auto variable = m_variables.find(statement.columns[c].toLower());
            if (variable == m_variables.end())
                throw ServerError(137,
                    QStringLiteral("Must declare the scalar variable \"%1\".").arg(statement.columns[c]), 15);
            SqliteStatement convert(*m_database,
                QStringLiteral("SELECT ") + Translator::convertCall(row[c], variable->type, false));
            convert.step();
            variable->sql = literalOf(convert.handle(), 0);
        }
        m_fetchStatus = 0;
        return;
    }
    case Statement::Kind::CloseCursor:
        if (!cursor.open)
            throw ServerError(16917, QStringLiteral("Cursor is not open."), 16, 2);
        cursor.open = false;
        cursor.rows.clear();
        return;
    default:
        m_cursors.erase(found);
        return;
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

void EmbeddedSession::dropRowsets()
{
    if (!m_database) {
        m_rowsetStreams.clear();
        return;
    }
    for (const QString& table : std::as_const(m_rowsets))
        sqlite3_exec(m_database->handle(),
            QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(table).toUtf8().constData(), nullptr, nullptr,
            nullptr);
    m_rowsets.clear();
    for (const std::unique_ptr<RowsetStream>& stream : m_rowsetStreams)
        stream->unregister(*m_database);
    // Stops and joins the readers still running.
    m_rowsetStreams.clear();
}

EmbeddedSession::Variable EmbeddedSession::evaluate(const ExprPtr& expr, const SqlType& type)
{
    Translator translator(*this);
    const Translator::Query query = translator.expression(expr);
    const QString sql = QStringLiteral("SELECT ")
        + Translator::convertFrom(query.sql.mid(7), query.columns[0].type, type, false);
    SqliteStatement statement(*m_database, sql);
    statement.step();
    return { type, literalOf(statement.handle(), 0) };
}

bool EmbeddedSession::evaluateCondition(const ExprPtr& expr)
{
    stopIfKilled();
    if (m_deadline.hasExpired())
        throw ServerError(0, QStringLiteral("Query timeout expired"), 16).setAbortsBatch();
    Translator translator(*this);
    const Translator::Query query = translator.expression(expr);
    SqliteStatement statement(*m_database, query.sql);
    statement.step();
    return sqlite3_column_type(statement.handle(), 0) != SQLITE_NULL && statement.intColumn(0) != 0;
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

TableInfo EmbeddedSession::openRowset(const TableSource& source)
{
    const QString provider = source.provider.trimmed();
    // The workbook is read with the server's own access to files, so reading one is a right
    // over the whole server (ADMINISTER BULK OPERATIONS), never one that some database gives.
    // Checked before the file is touched: not even its existence is told.
    if (!m_login.sysadmin && !m_catalogue->isServerRoleMember(m_login.name, QStringLiteral("bulkadmin")))
        throw ServerError(7415,
            QStringLiteral("Ad hoc access to OLE DB provider '%1' has been denied. You must access this "
                           "provider through a linked server.")
                .arg(provider),
            16, 1);
    if (provider.compare(QLatin1String("Microsoft.Jet.OLEDB.4.0"), Qt::CaseInsensitive) != 0
        && provider.compare(QLatin1String("Microsoft.ACE.OLEDB.12.0"), Qt::CaseInsensitive) != 0)
        throw ServerError(
            7403, QStringLiteral("The OLE DB provider \"%1\" has not been registered.").arg(provider), 16);
    QString path;
    bool header = true; // Jet reads a heading row unless HDR=no
    for (const QString& part : source.options.split(QLatin1Char(';'))) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = part.section(QLatin1Char('='), 1).trimmed();
        if (key.compare(QLatin1String("Database"), Qt::CaseInsensitive) == 0)
            path = value;
        else if (key.compare(QLatin1String("HDR"), Qt::CaseInsensitive) == 0)
            header = value.compare(QLatin1String("no"), Qt::CaseInsensitive) != 0;
    }
    QString sheet = source.object;
    if (sheet.endsWith(QLatin1Char('$')))
        sheet.chop(1);
    const QString failure
        = QStringLiteral("The OLE DB provider \"%1\" for linked server \"(null)\" reported an error. %2");
    if (path.isEmpty())
        throw ServerError(
            7399, failure.arg(provider, QStringLiteral("No workbook was named (Database=...).")), 16);
    // The system would open the name only up to the NUL: some other file.
    if (path.contains(QChar(u'\0')))
        throw ServerError(
            7399, failure.arg(provider, QStringLiteral("The workbook's name holds a NUL character.")), 16);
    TableInfo info;
    info.name = QStringLiteral("openrowset");
    const QString table = QStringLiteral("\"__rowset_%1\"").arg(++m_rowsetCounter);
    info.sqlName = QStringLiteral("temp.") + table;
    const BackgroundSheetReader::Reader read
        = [this, path, sheet, header](SheetCells& cells) { m_rowsetReader(path, sheet, header, cells); };
    if (m_mayStreamRowset) {
        m_mayStreamRowset = false;
        auto stream = std::make_unique<RowsetStream>(read, path, header);
        if (stream->learnColumns()) {
            try {
                stream->createTable(*m_database, table);
                info.columns = stream->columns();
                m_rowsets.append(table);
                m_rowsetStreams.push_back(std::move(stream));
                return info;
            } catch (const ServerError&) {
                stream->unregister(*m_database);
            }
        }
    }
    // The rows go straight from the reader into the table, so the sheet is never held whole;
    // a sheet that fails half-way leaves nothing.
    m_rowsets.append(table);
    m_database->execute(QStringLiteral("SAVEPOINT rowset"));
    try {
        RowsetLoader loader(*m_database, table, path, header);
        try {
            // The file is parsed on a second thread while this one stores the rows.
            BackgroundSheetReader::run(read, loader);
        } catch (const ServerError&) {
            throw;
        } catch (const std::exception& error) {
            throw ServerError(7399, failure.arg(provider, QString::fromUtf8(error.what())), 16);
        }
        info.columns = loader.finish();
        m_database->execute(QStringLiteral("RELEASE rowset"));
    } catch (...) {
        sqlite3_exec(m_database->handle(), "ROLLBACK TO rowset; RELEASE rowset", nullptr, nullptr, nullptr);
        throw;
    }
    return info;
}

std::optional<TranslationContext::Value> EmbeddedSession::variable(const QString& name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("@@identity"))
        return Value { m_identity ? QString::number(*m_identity) : QStringLiteral("NULL"),
            SqlType::of(Base::Numeric, 0, 38, 0) };
    if (lower == QLatin1String("@@rowcount"))
        return Value { QString::number(m_rowCount), SqlType::of(Base::Int) };
    if (lower == QLatin1String("@@error"))
        return Value { QString::number(m_lastError), SqlType::of(Base::Int) };
    if (lower == QLatin1String("@@fetch_status"))
        return Value { QString::number(m_fetchStatus), SqlType::of(Base::Int) };
    if (lower == QLatin1String("@@spid"))
        return Value { QString::number(m_spid), SqlType::of(Base::SmallInt) };
    if (lower == QLatin1String("@@trancount"))
        return Value { m_database->inTransaction() ? QStringLiteral("1") : QStringLiteral("0"),
            SqlType::of(Base::Int) };
    if (lower == QLatin1String("@@servername"))
        return Value { Translator::quoteText(m_host), SqlType::of(Base::NVarChar, 128) };
    if (lower == QLatin1String("@@version"))
        return Value { Translator::quoteText(QStringLiteral("glimora embedded server on SQLite %1")
                                                 .arg(QLatin1String(sqlite3_libversion()))),
            SqlType::of(Base::NVarChar, 300) };
    auto found = m_variables.constFind(lower);
    if (found == m_variables.constEnd())
        return std::nullopt;
    return Value { found->sql, found->type };
}

std::optional<TranslationContext::Value> EmbeddedSession::serverFunction(const QString& name)
{
    const SqlType text = SqlType::of(Base::NVarChar, 128);
    if (name == QLatin1String("db_name"))
        return Value { Translator::quoteText(m_database->name()), text };
    if (name == QLatin1String("user_name") || name == QLatin1String("current_user"))
        return Value { Translator::quoteText(m_permissions.user()), text };
    if (name == QLatin1String("suser_sname") || name == QLatin1String("suser_name")
        || name == QLatin1String("system_user"))
        return Value { Translator::quoteText(m_login.name), text };
    if (name == QLatin1String("host_name"))
        return Value { Translator::quoteText(m_host), text };
    return std::nullopt;
}

} // namespace glimora::engine
