// Values of the session: variables, @@ functions, the server's functions, and expressions
// evaluated outside a query.
#include "engine/server/EmbeddedSession.h"

#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/Translator.h"

#include <sqlite3.h>

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

QString EmbeddedSession::literalOf(sqlite3_stmt* statement, int column)
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
    if (m_deadline.hasExpired() || m_cancelRequested)
        throw ServerError(0, QStringLiteral("Query timeout expired"), 16).setAbortsBatch();
    Translator translator(*this);
    const Translator::Query query = translator.expression(expr);
    SqliteStatement statement(*m_database, query.sql);
    statement.step();
    return sqlite3_column_type(statement.handle(), 0) != SQLITE_NULL && statement.intColumn(0) != 0;
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

void EmbeddedSession::runDeclare(const Statement& statement)
{
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
}

void EmbeddedSession::runSetVariable(const Statement& statement)
{
    auto found = m_variables.find(statement.name.toLower());
    if (found == m_variables.end())
        throw ServerError(
            137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(statement.name), 15);
    *found = evaluate(statement.expr, found->type);
}

} // namespace glimora::engine
