#include "engine/values/DateFunctions.h"

#include "engine/server/ServerError.h"
#include "engine/values/DateTimeText.h"
#include "engine/values/SqlFunctions.h"

#include <cmath>
#include <QHash>
#include <sqlite3.h>

namespace glimora::engine {

namespace {

void fail(sqlite3_context* context, const ServerError& error)
{
    const QByteArray text = SqlFunctions::encodeError(error);
    sqlite3_result_error(context, text.constData(), int(text.size()));
}

QString textOf(sqlite3_value* value)
{
    return QString::fromUtf8(
        reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

bool dateOf(sqlite3_context* context, sqlite3_value* value, QDateTime& result)
{
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        result = DateTimeText::fromDays(sqlite3_value_double(value));
        return true;
    }
    if (DateTimeText::fromStored(textOf(value), result))
        return true;
    fail(context,
        ServerError(241,
            QStringLiteral("Conversion failed when converting date and/or time from character string."), 16)
            .setAbortsBatch());
    return false;
}

// Days counted from a fixed day, for the day, week and time boundaries.
qint64 dayNumber(const QDateTime& value)
{
    return value.date().toJulianDay();
}

qint64 floorDivide(qint64 value, qint64 divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// 1 for Sunday .. 7 for Saturday.
int weekday(const QDate& date)
{
    return date.dayOfWeek() % 7 + 1;
}

void dateaddFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (sqlite3_value_type(values[1]) == SQLITE_NULL || sqlite3_value_type(values[2]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    QDateTime value;
    if (!dateOf(context, values[2], value))
        return;
    const QString part = textOf(values[0]);
    const double number = std::trunc(sqlite3_value_double(values[1]));
    if (std::fabs(number) > 2147483647.0)
        return fail(context,
            ServerError(
                8115, QStringLiteral("Arithmetic overflow error converting expression to data type int."), 16)
                .setAbortsBatch());
    const qint64 n = qint64(number);
    QDateTime result;
    if (part == QLatin1String("year"))
        result = value.addYears(int(n));
    else if (part == QLatin1String("quarter"))
        result = value.addMonths(int(n * 3));
    else if (part == QLatin1String("month"))
        result = value.addMonths(int(n));
    else if (part == QLatin1String("week"))
        result = value.addDays(n * 7);
    else if (part == QLatin1String("day") || part == QLatin1String("dayofyear")
        || part == QLatin1String("weekday"))
        result = value.addDays(n);
    else if (part == QLatin1String("hour"))
        result = value.addSecs(n * 3600);
    else if (part == QLatin1String("minute"))
        result = value.addSecs(n * 60);
    else if (part == QLatin1String("second"))
        result = value.addSecs(n);
    else
        result = value.addMSecs(n);
    result = DateTimeText::roundedToTicks(result);
    const int year = result.date().year();
    if (!result.isValid() || year < 1753 || year > 9999)
        return fail(context,
            ServerError(517, QStringLiteral("Adding a value to a 'datetime' column caused an overflow."), 16)
                .setAbortsBatch());
    const QByteArray text = DateTimeText::format(result).toUtf8();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void datediffFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (sqlite3_value_type(values[1]) == SQLITE_NULL || sqlite3_value_type(values[2]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    QDateTime start;
    QDateTime end;
    if (!dateOf(context, values[1], start) || !dateOf(context, values[2], end))
        return;
    const QString part = textOf(values[0]);
    const QDate a = start.date();
    const QDate b = end.date();
    const qint64 days = dayNumber(end) - dayNumber(start);
    auto msOfDay = [](const QDateTime& value) { return qint64(value.time().msecsSinceStartOfDay()); };
    qint64 result = 0;
    if (part == QLatin1String("year"))
        result = b.year() - a.year();
    else if (part == QLatin1String("quarter"))
        result = (b.year() * 4 + (b.month() - 1) / 3) - (a.year() * 4 + (a.month() - 1) / 3);
    else if (part == QLatin1String("month"))
        result = (b.year() * 12 + b.month()) - (a.year() * 12 + a.month());
    else if (part == QLatin1String("week"))
        result = floorDivide(dayNumber(end) + 1, 7) - floorDivide(dayNumber(start) + 1, 7);
    else if (part == QLatin1String("day") || part == QLatin1String("dayofyear")
        || part == QLatin1String("weekday"))
        result = days;
    else if (part == QLatin1String("hour"))
        result = days * 24 + end.time().hour() - start.time().hour();
    else if (part == QLatin1String("minute"))
        result = (days * 24 + end.time().hour() - start.time().hour()) * 60 + end.time().minute()
            - start.time().minute();
    else if (part == QLatin1String("second"))
        result = days * 86400 + msOfDay(end) / 1000 - msOfDay(start) / 1000;
    else
        result = days * 86400000 + msOfDay(end) - msOfDay(start);
    if (result < std::numeric_limits<qint32>::min() || result > std::numeric_limits<qint32>::max())
        return fail(context,
            ServerError(535,
                QStringLiteral("The datediff function resulted in an overflow. The number of dateparts "
                               "separating two date/time instances is too large. Try to use datediff with "
                               "a less precise datepart."),
                16));
    sqlite3_result_int64(context, result);
}

int datepartOf(const QString& part, const QDateTime& value)
{
    const QDate date = value.date();
    const QTime time = value.time();
    if (part == QLatin1String("year"))
        return date.year();
    if (part == QLatin1String("quarter"))
        return (date.month() - 1) / 3 + 1;
    if (part == QLatin1String("month"))
        return date.month();
    if (part == QLatin1String("dayofyear"))
        return date.dayOfYear();
    if (part == QLatin1String("day"))
        return date.day();
    if (part == QLatin1String("week"))
        return (date.dayOfYear() + weekday(QDate(date.year(), 1, 1)) - 2) / 7 + 1;
    if (part == QLatin1String("weekday"))
        return weekday(date);
    if (part == QLatin1String("hour"))
        return time.hour();
    if (part == QLatin1String("minute"))
        return time.minute();
    if (part == QLatin1String("second"))
        return time.second();
    return time.msec();
}

void datepartFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (sqlite3_value_type(values[1]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    QDateTime value;
    if (!dateOf(context, values[1], value))
        return;
    sqlite3_result_int(context, datepartOf(textOf(values[0]), value));
}

// The names of a server whose language is us_english; any other part is its number.
void datenameFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    static const char* const months[] = { "January", "February", "March", "April", "May", "June", "July",
        "August", "September", "October", "November", "December" };
    static const char* const days[]
        = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };
    if (sqlite3_value_type(values[1]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    QDateTime value;
    if (!dateOf(context, values[1], value))
        return;
    const QString part = textOf(values[0]);
    const int number = datepartOf(part, value);
    QByteArray name = QByteArray::number(number);
    if (part == QLatin1String("month"))
        name = months[number - 1];
    else if (part == QLatin1String("weekday"))
        name = days[number - 1];
    sqlite3_result_text(context, name.constData(), int(name.size()), SQLITE_TRANSIENT);
}

} // namespace

QString DateFunctions::partName(const QString& word)
{
    static const QHash<QString, QString> names = {
        { QStringLiteral("year"), QStringLiteral("year") },
        { QStringLiteral("yy"), QStringLiteral("year") },
        { QStringLiteral("yyyy"), QStringLiteral("year") },
        { QStringLiteral("quarter"), QStringLiteral("quarter") },
        { QStringLiteral("qq"), QStringLiteral("quarter") },
        { QStringLiteral("q"), QStringLiteral("quarter") },
        { QStringLiteral("month"), QStringLiteral("month") },
        { QStringLiteral("mm"), QStringLiteral("month") },
        { QStringLiteral("m"), QStringLiteral("month") },
        { QStringLiteral("dayofyear"), QStringLiteral("dayofyear") },
        { QStringLiteral("dy"), QStringLiteral("dayofyear") },
        { QStringLiteral("y"), QStringLiteral("dayofyear") },
        { QStringLiteral("day"), QStringLiteral("day") },
        { QStringLiteral("dd"), QStringLiteral("day") },
        { QStringLiteral("d"), QStringLiteral("day") },
        { QStringLiteral("week"), QStringLiteral("week") },
        { QStringLiteral("wk"), QStringLiteral("week") },
        { QStringLiteral("ww"), QStringLiteral("week") },
        { QStringLiteral("weekday"), QStringLiteral("weekday") },
        { QStringLiteral("dw"), QStringLiteral("weekday") },
        { QStringLiteral("w"), QStringLiteral("weekday") },
        { QStringLiteral("hour"), QStringLiteral("hour") },
        { QStringLiteral("hh"), QStringLiteral("hour") },
        { QStringLiteral("minute"), QStringLiteral("minute") },
        { QStringLiteral("mi"), QStringLiteral("minute") },
        { QStringLiteral("n"), QStringLiteral("minute") },
        { QStringLiteral("second"), QStringLiteral("second") },
        { QStringLiteral("ss"), QStringLiteral("second") },
        { QStringLiteral("s"), QStringLiteral("second") },
        { QStringLiteral("millisecond"), QStringLiteral("millisecond") },
        { QStringLiteral("ms"), QStringLiteral("millisecond") },
    };
    return names.value(word.toLower());
}

void DateFunctions::install(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(
        db, "tsql_dateadd", 3, flags, nullptr, dateaddFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_datediff", 3, flags, nullptr, datediffFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_datepart", 2, flags, nullptr, datepartFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_datename", 2, flags, nullptr, datenameFunction, nullptr, nullptr, nullptr);
}

} // namespace glimora::engine
