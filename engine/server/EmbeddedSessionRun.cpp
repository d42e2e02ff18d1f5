// Runs one statement: selects and data changes here, the others handed to their own runs.
#include "engine/server/EmbeddedSession.h"

#include "engine/storage/ServedIndexes.h"
#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/Translator.h"

#include <algorithm>
#include <functional>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <sqlite3.h>

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

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
        return runCreateTable(statement);
    case Statement::Kind::DropTable:
        return runDropTables(statement);
    case Statement::Kind::CreateDatabase:
        return runCreateDatabase(statement);
    case Statement::Kind::DropDatabase:
        return runDropDatabase(statement);
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
        return runDeclare(statement);
    case Statement::Kind::SetVariable:
        return runSetVariable(statement);
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

void EmbeddedSession::runCreateTable(const Statement& statement)
{
    refuseOtherDatabase(statement.name);
    if (!m_permissions.canChangeSchema())
        throw ServerError(262,
            QStringLiteral("CREATE TABLE permission denied in database '%1'.").arg(m_database->name()), 14,
            1);
    m_database->createTable(statement);
}
void EmbeddedSession::runDropTables(const Statement& statement)
{
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
}
void EmbeddedSession::runCreateDatabase(const Statement& statement)
{
    if (!m_login.sysadmin && !m_catalogue->isServerRoleMember(m_login.name, QStringLiteral("dbcreator")))
        throw ServerError(262, QStringLiteral("CREATE DATABASE permission denied in database 'master'."), 14);
    m_catalogue->createDatabase(statement.name, m_login.name);
}
void EmbeddedSession::runDropDatabase(const Statement& statement)
{
    if (!m_login.sysadmin)
        throw ServerError(3701,
            QStringLiteral(
                "Cannot drop the database '%1', because it does not exist or you do not have permission.")
                .arg(statement.name),
            14);
    if (m_database->name().compare(statement.name, Qt::CaseInsensitive) == 0
        || !m_catalogue->sessionsUsing(statement.name).isEmpty() || m_catalogue->isRestoring(statement.name))
        throw ServerError(3702,
            QStringLiteral("Cannot drop database \"%1\" because it is currently in use.").arg(statement.name),
            16);
    m_catalogue->dropDatabase(statement.name);
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
    const bool keepsCounts = !state.cursor && CountsCache::mayKeep(query.sql);
    const QString countsKey = keepsCounts ? CountsCache::keyOf(query.sql, query.columns) : QString();
    if (keepsCounts) {
        if (std::optional<SqliteCursor::Rows> kept = m_counts.find(m_database, countsKey)) {
            state.cursor = std::make_shared<SqliteCursor>(m_database, std::move(*kept));
            return;
        }
    }
    auto cursor = std::make_shared<SqliteCursor>(m_database, query.sql, query.columns);
    if (state.cursor) {
        cursor->discard();
        return;
    }
    if (keepsCounts && cursor->readAhead(CountsCache::MostRows + 1)) {
        if (std::optional<SqliteCursor::Rows> rows = cursor->drainedRows())
            m_counts.keep(m_database, countsKey, std::move(*rows));
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
    // Rows of constants go through one prepared row; a failure among them rolls the statement
    // back, and it runs again the general way, so that it fails with the same error.
    const bool streamRowset = !m_showPlan && rowsetMayStream(statement);
    try {
        return runChangeOnce(statement, state, streamRowset, true);
    } catch (...) {
        if (!(m_lastChangeStreamed || m_lastChangeBound) || m_killRequested || m_cancelRequested
            || m_deadline.hasExpired())
            throw;
    }
    runChangeOnce(statement, state, false, false);
}

void EmbeddedSession::runChangeOnce(
    const Statement& statement, BatchState& state, bool streamRowset, bool bindValues)
{
    const bool insert = statement.kind == Statement::Kind::Insert;
    const QString verb = insert                     ? QStringLiteral("INSERT")
        : statement.kind == Statement::Kind::Update ? QStringLiteral("UPDATE")
                                                    : QStringLiteral("DELETE");
    m_lastChangeStreamed = false;
    m_lastChangeBound = false;
    m_mayStreamRowset = streamRowset;
    Translator translator(*this);
    std::optional<Translator::BoundInsert> bound;
    if (insert && bindValues && !m_showPlan && !statement.rows.isEmpty()) {
        try {
            bound = translator.boundInsert(statement);
        } catch (const ServerError&) {
            // The general translation below fails the same way.
        }
    }
    QString sql;
    try {
        sql = bound                                     ? bound->sql
            : insert                                    ? translator.insert(statement)
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
        if (bound) {
            m_lastChangeBound = true;
            for (const QList<Translator::BoundValue>& row : bound->rows) {
                for (int i = 0; i < row.size(); ++i) {
                    const Translator::BoundValue& value = row[i];
                    if (value.kind == Translator::BoundValue::Kind::Text)
                        change.bindText(i + 1, value.text);
                    else if (value.kind == Translator::BoundValue::Kind::Integer)
                        change.bindInt(i + 1, value.integer);
                    else
                        change.bindNull(i + 1);
                }
                change.step();
                changed += sqlite3_changes(m_database->handle());
                change.reset();
            }
        } else {
            change.step();
            // Taken now: what the index work below runs must not count as the statement's.
            changed = sqlite3_changes(m_database->handle());
        }
        // The rows are in: running the statement again would not mend what fails after.
        m_lastChangeStreamed = false;
        m_lastChangeBound = false;
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

} // namespace glimora::engine
