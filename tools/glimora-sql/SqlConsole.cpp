#include "tools/glimora-sql/SqlConsole.h"

#include "data/DbError.h"
#include "data/StatementTrace.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace glimora::tools {

using data::DbError;
using data::Variant;

SqlConsole::SqlConsole(
    data::BackendSession& session, QTextStream& out, QTextStream& err, int queryTimeoutSeconds)
    : m_session(session)
    , m_out(out)
    , m_err(err)
    , m_queryTimeout(queryTimeoutSeconds)
{
}

bool SqlConsole::run(const QString& batch)
{
    QElapsedTimer timer;
    timer.start();
    try {
        data::ExecuteResult result = m_session.execute(batch, m_queryTimeout);
        data::StatementTrace::sent(batch, timer.nsecsElapsed() / 1000, result.rowsAffected);
        if (result.cursor) {
            do {
                printResultSet(*result.cursor);
            } while (result.cursor->nextResultSet());
        }
        m_out.flush();
        return true;
    } catch (const DbError& error) {
        data::StatementTrace::failed(
            batch, timer.nsecsElapsed() / 1000, error.nativeError() ? error.nativeError() : error.code());
        m_out.flush();
        printError(m_err, error);
        return false;
    }
}

void SqlConsole::printResultSet(data::BackendCursor& cursor)
{
    QStringList names;
    for (const data::FieldInfo& field : cursor.fields())
        names.append(field.name);
    m_out << names.join(QLatin1Char('\t')) << '\n';
    QList<Variant> row;
    QStringList cells;
    while (cursor.fetchRow(row)) {
        cells.clear();
        for (const Variant& value : row)
            cells.append(formatValue(value));
        m_out << cells.join(QLatin1Char('\t')) << '\n';
    }
}

QString SqlConsole::formatValue(const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return QStringLiteral("NULL");
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
    case Variant::Kind::Int64:
    case Variant::Kind::Boolean:
        return QString::number(value.toInt64());
    case Variant::Kind::Single:
        return QString::number(value.toDouble(), 'g', 7);
    case Variant::Kind::Double:
        return QString::number(value.toDouble(), 'g', 15);
    case Variant::Kind::Decimal:
        return value.toDecimal().toString();
    case Variant::Kind::DateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case Variant::Kind::String:
        return value.toString();
    case Variant::Kind::Bytes:
        return QStringLiteral("0x") + QString::fromLatin1(value.toBytes().toHex().toUpper());
    }
    return QString();
}

void SqlConsole::printError(QTextStream& err, const DbError& error)
{
    // The driver's "[vendor][driver]" prefixes are not part of the server's message.
    static const QRegularExpression prefixes(QStringLiteral("^(\\[[^\\]]*\\])+"));
    QString message = error.description();
    message.remove(prefixes);
    err << QStringLiteral("Msg %1, Level %2, State %3, Line %4")
               .arg(error.nativeError())
               .arg(error.severity())
               .arg(error.state())
               .arg(error.lineNumber())
        << '\n'
        << message << '\n';
    err.flush();
}

} // namespace glimora::tools
