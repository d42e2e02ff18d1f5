// EXEC of a procedure or of a text, INSERT ... EXEC, sp_who, KILL, BACKUP and RESTORE.
#include "engine/server/EmbeddedSession.h"

#include "engine/backup/DatabaseBackup.h"
#include "engine/server/SystemProcedures.h"
#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/BatchParser.h"
#include "engine/tsql/Translator.h"

#include <algorithm>
#include <functional>
#include <sqlite3.h>

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

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

} // namespace glimora::engine
