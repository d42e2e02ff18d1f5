#include "query/QueryStatements.h"

#include "data/SqlLiteral.h"
#include "data/ValueReaders.h"
#include "settings/SettingsFile.h"

#include <QRegularExpression>

namespace glimora::query {

namespace {

enum class Form { Quoted, Unquoted, None };

Form conditionForm(int columnNumber)
{
    if (columnNumber >= 1 && columnNumber <= 20)
        return Form::Quoted;
    if (columnNumber <= 50)
        return Form::Unquoted;
    return Form::None;
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

QString QueryStatements::records(const QString& select, const QString& where)
{
    if (where.isEmpty())
        return QStringLiteral("select ") + select + QStringLiteral(" from inquiry");
    return QStringLiteral("select ") + select + QStringLiteral(" from inquiry where ") + where;
}

int QueryStatements::columnNumber(const QString& column)
{
    return app::leadingInteger(column.mid(1));
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
            condition += QStringLiteral(" and ") + levelColumns.value(j) + QLatin1Char('=')
                + quoted(levelValues.value(j));
    }
    condition += QStringLiteral(" and ") + levelColumns.value(level) + QLatin1Char('=') + quoted(value);
    if (condition.startsWith(QStringLiteral(" and")))
        condition.remove(0, 4);
    return condition;
}

QueryStatements::FilterCondition QueryStatements::filterCondition(const std::array<QString, 20>& columns,
    const std::array<QString, 20>& texts, const std::array<QString, 20>& stored)
{
    FilterCondition result;
    QString condition;
    // Appends one comparison for list n; false when the value may not stand unquoted.
    const auto compare = [&](const QString& column, const QString& op, int n) {
        const QString value = texts[n].trimmed();
        if (column.isEmpty() || value.isEmpty())
            return true;
        switch (conditionForm(columnNumber(column))) {
        case Form::Quoted:
            condition
                += QStringLiteral(" and ") + column + op + quoted(stored[n].isNull() ? value : stored[n]);
            return true;
        case Form::Unquoted:
            if (!isNumber(value)) {
                result.refused = value;
                return false;
            }
            condition += QStringLiteral(" and ") + column + op + value;
            return true;
        case Form::None:
            return true;
        }
        return true;
    };

    for (int n = 1; n <= 13; ++n) {
        if (!compare(columns[n], QStringLiteral("="), n))
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
