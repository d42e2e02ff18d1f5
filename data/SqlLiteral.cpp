#include "data/SqlLiteral.h"

#include "data/DbError.h"

#include <cmath>
#include <QSet>

namespace glimora::data {

namespace {

QString floatText(double value, int significantDigits)
{
    if (!std::isfinite(value))
        throw DbError::invalidArgument(QStringLiteral("a float value that is not finite"));
    // The E notation makes it a float literal rather than a decimal one.
    QString text = QString::asprintf("%.*g", significantDigits, value);
    if (text.contains(QLatin1Char('e')))
        return text.replace(QLatin1Char('e'), QLatin1Char('E'));
    return text + QStringLiteral("E0");
}

// The words the server reserves: as a column's name they must be bracketed.
bool isReservedWord(const QString& name)
{
    using namespace Qt::StringLiterals;
    static const QSet<QString> words { u"ADD"_s, u"ALL"_s, u"ALTER"_s, u"AND"_s, u"ANY"_s, u"AS"_s, u"ASC"_s,
        u"AUTHORIZATION"_s, u"BACKUP"_s, u"BEGIN"_s, u"BETWEEN"_s, u"BREAK"_s, u"BROWSE"_s, u"BULK"_s,
        u"BY"_s, u"CASCADE"_s, u"CASE"_s, u"CHECK"_s, u"CHECKPOINT"_s, u"CLOSE"_s, u"CLUSTERED"_s,
        u"COALESCE"_s, u"COLLATE"_s, u"COLUMN"_s, u"COMMIT"_s, u"COMPUTE"_s, u"CONSTRAINT"_s, u"CONTAINS"_s,
        u"CONTAINSTABLE"_s, u"CONTINUE"_s, u"CONVERT"_s, u"CREATE"_s, u"CROSS"_s, u"CURRENT"_s,
        u"CURRENT_DATE"_s, u"CURRENT_TIME"_s, u"CURRENT_TIMESTAMP"_s, u"CURRENT_USER"_s, u"CURSOR"_s,
        u"DATABASE"_s, u"DBCC"_s, u"DEALLOCATE"_s, u"DECLARE"_s, u"DEFAULT"_s, u"DELETE"_s, u"DENY"_s,
        u"DESC"_s, u"DISK"_s, u"DISTINCT"_s, u"DISTRIBUTED"_s, u"DOUBLE"_s, u"DROP"_s, u"DUMP"_s, u"ELSE"_s,
        u"END"_s, u"ERRLVL"_s, u"ESCAPE"_s, u"EXCEPT"_s, u"EXEC"_s, u"EXECUTE"_s, u"EXISTS"_s, u"EXIT"_s,
        u"EXTERNAL"_s, u"FETCH"_s, u"FILE"_s, u"FILLFACTOR"_s, u"FOR"_s, u"FOREIGN"_s, u"FREETEXT"_s,
        u"FREETEXTTABLE"_s, u"FROM"_s, u"FULL"_s, u"FUNCTION"_s, u"GOTO"_s, u"GRANT"_s, u"GROUP"_s,
        u"HAVING"_s, u"HOLDLOCK"_s, u"IDENTITY"_s, u"IDENTITY_INSERT"_s, u"IDENTITYCOL"_s, u"IF"_s, u"IN"_s,
        u"INDEX"_s, u"INNER"_s, u"INSERT"_s, u"INTERSECT"_s, u"INTO"_s, u"IS"_s, u"JOIN"_s, u"KEY"_s,
        u"KILL"_s, u"LEFT"_s, u"LIKE"_s, u"LINENO"_s, u"LOAD"_s, u"MERGE"_s, u"NATIONAL"_s, u"NOCHECK"_s,
        u"NONCLUSTERED"_s, u"NOT"_s, u"NULL"_s, u"NULLIF"_s, u"OF"_s, u"OFF"_s, u"OFFSETS"_s, u"ON"_s,
        u"OPEN"_s, u"OPENDATASOURCE"_s, u"OPENQUERY"_s, u"OPENROWSET"_s, u"OPENXML"_s, u"OPTION"_s, u"OR"_s,
        u"ORDER"_s, u"OUTER"_s, u"OVER"_s, u"PERCENT"_s, u"PIVOT"_s, u"PLAN"_s, u"PRECISION"_s, u"PRIMARY"_s,
        u"PRINT"_s, u"PROC"_s, u"PROCEDURE"_s, u"PUBLIC"_s, u"RAISERROR"_s, u"READ"_s, u"READTEXT"_s,
        u"RECONFIGURE"_s, u"REFERENCES"_s, u"REPLICATION"_s, u"RESTORE"_s, u"RESTRICT"_s, u"RETURN"_s,
        u"REVERT"_s, u"REVOKE"_s, u"RIGHT"_s, u"ROLLBACK"_s, u"ROWCOUNT"_s, u"ROWGUIDCOL"_s, u"RULE"_s,
        u"SAVE"_s, u"SCHEMA"_s, u"SELECT"_s, u"SESSION_USER"_s, u"SET"_s, u"SETUSER"_s, u"SHUTDOWN"_s,
        u"SOME"_s, u"STATISTICS"_s, u"SYSTEM_USER"_s, u"TABLE"_s, u"TABLESAMPLE"_s, u"TEXTSIZE"_s, u"THEN"_s,
        u"TO"_s, u"TOP"_s, u"TRAN"_s, u"TRANSACTION"_s, u"TRIGGER"_s, u"TRUNCATE"_s, u"TRY_CONVERT"_s,
        u"TSEQUAL"_s, u"UNION"_s, u"UNIQUE"_s, u"UNPIVOT"_s, u"UPDATE"_s, u"UPDATETEXT"_s, u"USE"_s,
        u"USER"_s, u"VALUES"_s, u"VARYING"_s, u"VIEW"_s, u"WAITFOR"_s, u"WHEN"_s, u"WHERE"_s, u"WHILE"_s,
        u"WITH"_s, u"WRITETEXT"_s };
    return words.contains(name.toUpper());
}

bool isPlainIdentifier(const QString& name)
{
    if (name.isEmpty() || name[0].isDigit())
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@')
                || c == QLatin1Char('#')))
            return false;
    }
    return true;
}

} // namespace

QString SqlLiteral::value(const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return QStringLiteral("NULL");
    case Variant::Kind::Int16:
    case Variant::Kind::Int32:
    case Variant::Kind::Int64:
        return QString::number(value.toInt64());
    case Variant::Kind::Boolean:
        return value.toBoolean() ? QStringLiteral("1") : QStringLiteral("0");
    case Variant::Kind::Single: // compared as a float widened: 9 digits would name another number
    case Variant::Kind::Double:
        return floatText(value.toDouble(), 17);
    case Variant::Kind::Decimal:
        return value.toDecimal().toString();
    case Variant::Kind::DateTime:
        return QLatin1Char('\'') + value.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
            + QLatin1Char('\'');
    case Variant::Kind::String: {
        QString text = value.toString();
        text.replace(QLatin1Char('\''), QLatin1String("''"));
        return QStringLiteral("N'") + text + QLatin1Char('\'');
    }
    case Variant::Kind::Bytes:
        return QStringLiteral("0x") + QString::fromLatin1(value.toBytes().toHex());
    }
    return QStringLiteral("NULL");
}

QString SqlLiteral::quotesDoubled(QString text)
{
    return text.replace(QLatin1Char('\''), QLatin1String("''"));
}

QString SqlLiteral::identifier(const QString& name)
{
    if (isPlainIdentifier(name) && !isReservedWord(name))
        return name;
    QString escaped = name;
    escaped.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + escaped + QLatin1Char(']');
}

} // namespace glimora::data
