#include "query/QueryStatements.h"

#include "data/SqlLiteral.h"
#include "data/ValueReaders.h"
#include "settings/SettingsFile.h"

#include <QRegularExpression>

namespace glimora::query {

namespace {

enum class Form { Quoted, Date, Unquoted, None };

Form conditionForm(int columnNumber)
{
    if (columnNumber >= 1 && columnNumber <= 15)
        return Form::Quoted;
    if (columnNumber >= 16 && columnNumber <= 20)
        return Form::Date;
    if (columnNumber <= 50)
        return Form::Unquoted;
    return Form::None;
}

// The day a text names as the screen shows days ("2012-05-01"), or as typed with slashes,
// points or no separators; none for any other text, a time of day included.
QDate dayOf(const QString& text)
{
    static const QRegularExpression separated(QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    QRegularExpressionMatch match = separated.match(text);
    if (!match.hasMatch())
        match = compact.match(text);
    if (!match.hasMatch())
        return QDate();
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}

// 'yyyymmdd' is read as year, month, day whatever the server's language and date format,
// where 'yyyy-mm-dd' is not for a datetime.
QString dayLiteral(const QDate& day)
{
    return QLatin1Char('\'') + day.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('\'');
}

// The last moment a datetime holds, for the last day it holds.
const QString LastMoment = QStringLiteral("'99991231 23:59:59.997'");

// A date with a time of day in ISO 8601 form, which the server also reads the same under
// every language; none for any other text.
QString momentLiteral(const QString& text)
{
    static const QRegularExpression moment(
        QStringLiteral("^(\\d{4}-\\d{1,2}-\\d{1,2})[ T](\\d{1,2}:\\d{1,2}(?::\\d{1,2}(?:\\.\\d{1,3})?)?)$"));
    const QRegularExpressionMatch match = moment.match(text);
    if (!match.hasMatch())
        return QString();
    const QDate date = dayOf(match.captured(1));
    QTime time;
    for (const char* format : { "H:m", "H:m:s", "H:m:s.z" }) {
        if (!time.isValid())
            time = QTime::fromString(match.captured(2), QString::fromLatin1(format));
    }
    if (!date.isValid() || !time.isValid())
        return QString();
    return QLatin1Char('\'') + date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('T')
        + time.toString(QStringLiteral("HH:mm:ss.zzz")) + QLatin1Char('\'');
}

// A Chinese input method types digits, signs, points and separators full width; they mean
// the half-width characters, which are what the server reads.
QString halfWidth(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        if (u == 0x3000)
            c = QLatin1Char(' ');
        else if ((u >= 0xFF10 && u <= 0xFF1A) || (u >= 0xFF0B && u <= 0xFF0F))
            c = QChar(char16_t(u - 0xFEE0));
    }
    return result;
}

// A date column against a value: a day shown or typed stands for every moment of that day,
// whatever time of day a record holds.
QString dateComparison(const QString& column, const QString& op, const QString& value)
{
    const QDate day = dayOf(value);
    if (!day.isValid()) {
        const QString moment = momentLiteral(value);
        return column + op + (moment.isEmpty() ? QueryStatements::quoted(value) : moment);
    }
    const QDate next = day.addDays(1);
    const QString upper
        = next.year() > 9999 ? QStringLiteral("<=") + LastMoment : QLatin1Char('<') + dayLiteral(next);
    if (op == QLatin1String(">="))
        return column + op + dayLiteral(day);
    if (op == QLatin1String("<="))
        return column + upper;
    return column + QStringLiteral(">=") + dayLiteral(day) + QStringLiteral(" and ") + column + upper;
}

// The comparison of a drill-down level or an equality list with a chosen or typed value.
QString equality(const QString& column, const QString& value)
{
    if (conditionForm(QueryStatements::columnNumber(column)) == Form::Date)
        return dateComparison(column, QStringLiteral("="), value);
    return column + QLatin1Char('=') + QueryStatements::quoted(value);
}

} // namespace

QString QueryStatements::catalogue()
{
    return QStringLiteral(
        "select engl,chna,withe,sort  from contrast where right(chna,1)<>'h' order by sort");
}

QString QueryStatements::titles()
{
    return QStringLiteral("select chna from contrast where nober>=100 and nober<=101 order by nober asc");
}

QString QueryStatements::distinctValues(const QString& column)
{
    return QStringLiteral("select distinct ") + column + QStringLiteral(" from inquiry  order by ") + column;
}

QString QueryStatements::distinctValues(const QString& column, const QString& where)
{
    return QStringLiteral("select distinct ") + column + QStringLiteral(" from inquiry where ") + where
        + QStringLiteral(" order by ") + column;
}

QString QueryStatements::valueCounts(const QString& column, const QString& where)
{
    return QStringLiteral("select ") + column + QStringLiteral(", count(*) from inquiry ")
        + (where.isEmpty() ? QString() : QStringLiteral("where ") + where + QLatin1Char(' '))
        + QStringLiteral("group by ") + column;
}

QString QueryStatements::records(const QString& select, const QString& where)
{
    if (where.isEmpty())
        return QStringLiteral("select ") + select + QStringLiteral(" from inquiry");
    return QStringLiteral("select ") + select + QStringLiteral(" from inquiry where ") + where;
}

int QueryStatements::columnNumber(const QString& column)
{
    return settings::leadingInteger(column.mid(1));
}

bool QueryStatements::isColumnName(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]+$"));
    return plain.match(name).hasMatch();
}

QString QueryStatements::quoted(const QString& value)
{
    return QLatin1Char('\'') + data::SqlLiteral::quotesDoubled(value) + QLatin1Char('\'');
}

bool QueryStatements::isNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)\\s*$"));
    return number.match(text).hasMatch();
}

QString QueryStatements::drillDownCondition(
    const QStringList& levelColumns, const QStringList& levelValues, int level, const QString& value)
{
    QString condition;
    for (int j = 1; j < level; ++j) {
        if (!levelValues.value(j).isEmpty())
            condition += QStringLiteral(" and ") + equality(levelColumns.value(j), levelValues.value(j));
    }
    condition += QStringLiteral(" and ") + equality(levelColumns.value(level), value);
    if (condition.startsWith(QStringLiteral(" and")))
        condition.remove(0, 4);
    return condition;
}

QueryStatements::FilterCondition QueryStatements::filterCondition(const std::array<QString, 20>& columns,
    const std::array<QString, 20>& texts, const std::array<QString, 20>& stored,
    const std::array<QStringList, 20>& anyOf)
{
    FilterCondition result;
    QString condition;
    // Appends one comparison for list n; false when the value may not stand unquoted.
    const auto compare = [&](const QString& column, const QString& op, int n) {
        QString value = texts[n].trimmed();
        if (column.isEmpty() || value.isEmpty())
            return true;
        switch (conditionForm(columnNumber(column))) {
        case Form::Quoted:
            condition
                += QStringLiteral(" and ") + column + op + quoted(stored[n].isNull() ? value : stored[n]);
            return true;
        case Form::Date:
            if (stored[n].isNull()) {
                value = halfWidth(value).trimmed();
                if (!dayOf(value).isValid() && momentLiteral(value).isEmpty()) {
                    result.refused = texts[n].trimmed();
                    result.refusedDate = true;
                    return false;
                }
            }
            condition += QStringLiteral(" and ")
                + dateComparison(column, op, stored[n].isNull() ? value : stored[n]);
            return true;
        case Form::Unquoted:
            value = halfWidth(value).trimmed();
            if (!isNumber(value)) {
                result.refused = texts[n].trimmed();
                return false;
            }
            condition += QStringLiteral(" and ") + column + op + value;
            return true;
        case Form::None:
            return true;
        }
        return true;
    };

    // Appends " and dN in (…)" for list n; false when a value may not stand unquoted.
    const auto compareAny = [&](const QString& column, int n) {
        QStringList values;
        const Form form = conditionForm(columnNumber(column));
        for (const QString& value : anyOf[n]) {
            if (form == Form::Quoted) {
                values << quoted(value);
                continue;
            }
            const QString number = halfWidth(value).trimmed();
            if (!isNumber(number)) {
                result.refused = value.trimmed();
                return false;
            }
            values << number;
        }
        condition += QStringLiteral(" and ") + column + QStringLiteral(" in (")
            + values.join(QLatin1Char(',')) + QLatin1Char(')');
        return true;
    };

    for (int n = 1; n <= 13; ++n) {
        const Form form = conditionForm(columnNumber(columns[n]));
        const bool several = anyOf[n].size() >= 2 && (form == Form::Quoted || form == Form::Unquoted);
        if (!(several ? compareAny(columns[n], n) : compare(columns[n], QStringLiteral("="), n)))
            return result;
    }
    // Two ranges: list 16 and 17 bound the column of com16, lists 18 and 19 that of com18.
    for (const int lower : { 16, 18 }) {
        if (!compare(columns[lower], QStringLiteral(">="), lower)
            || !compare(columns[lower], QStringLiteral("<="), lower + 1))
            return result;
    }
    if (condition.startsWith(QStringLiteral(" and")))
        condition.remove(0, 4);
    result.where = condition;
    return result;
}

bool QueryStatements::fixesColumn(const QString& where, const QString& column)
{
    if (where.contains(column + QLatin1Char('=')))
        return true;
    // The range of one day, as a date level or list writes it.
    const QString name = QRegularExpression::escape(column);
    const QRegularExpression day(name + QStringLiteral(">='(\\d{8})' and ") + name
        + QStringLiteral("(?:<'(\\d{8})'|<=") + QRegularExpression::escape(LastMoment) + QLatin1Char(')'));
    for (QRegularExpressionMatchIterator it = day.globalMatch(where); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QDate first = QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
        const QDate next = QDate::fromString(match.captured(2), QStringLiteral("yyyyMMdd"));
        if (first.isValid()
            && (match.captured(2).isEmpty() ? first == QDate(9999, 12, 31) : first.addDays(1) == next))
            return true;
    }
    return false;
}

QString QueryStatements::storedText(const data::Variant& value, const QString& shown)
{
    if (value.kind() != data::Variant::Kind::String)
        return shown;
    QString text = value.toString();
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

QString QueryStatements::filterEntryText(const data::Variant& value, int columnNumber)
{
    if (columnNumber >= 1 && columnNumber <= 15)
        return data::ValueText(value);
    if (columnNumber >= 16 && columnNumber <= 20) {
        if (value.kind() != data::Variant::Kind::DateTime)
            return value.isNull() ? QString() : data::ValueText(value);
        return value.toDateTime().date().toString(QStringLiteral("yyyy-MM-dd"));
    }
    if (columnNumber >= 21 && columnNumber <= 25)
        return QString::asprintf("%.0f", data::ValueNumber(value));
    if (columnNumber >= 26 && columnNumber <= 50)
        return QString::asprintf("%.2f", data::ValueNumber(value));
    return QString();
}

} // namespace glimora::query
