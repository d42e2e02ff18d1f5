// T-SQL cursors: DECLARE, OPEN (which reads every row), FETCH ... INTO, CLOSE, DEALLOCATE.
#include "engine/server/EmbeddedSession.h"

#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/Translator.h"

#include <sqlite3.h>

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

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

} // namespace glimora::engine
