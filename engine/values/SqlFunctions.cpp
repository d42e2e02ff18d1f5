#include "engine/values/SqlFunctions.h"

#include "engine/values/DateFunctions.h"
#include "engine/values/DateTimeText.h"
#include "engine/values/DecimalFunctions.h"
#include "engine/values/SqlType.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <QByteArray>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <sqlite3.h>

namespace glimora::engine {

namespace {

constexpr char ErrorMarker[] = "TSQLERR|";
using Base = SqlType::Base;

void fail(sqlite3_context* context, const ServerError& error)
{
    const QByteArray text = SqlFunctions::encodeError(error);
    sqlite3_result_error(context, text.constData(), int(text.size()));
}

QString textOf(sqlite3_value* value)
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return QString::fromUtf8(data, sqlite3_value_bytes(value));
}

void resultText(sqlite3_context* context, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool isNull(sqlite3_value* value)
{
    return sqlite3_value_type(value) == SQLITE_NULL;
}

bool anyNull(int count, sqlite3_value** values)
{
    for (int i = 0; i < count; ++i) {
        if (isNull(values[i]))
            return true;
    }
    return false;
}

QString rightTrimmed(const QString& text)
{
    int end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.left(end);
}

// Length in the bytes of a double-byte code page: the measure of char and varchar.
int codePageLength(const QString& text)
{
    int length = 0;
    for (QChar c : text)
        length += c.unicode() < 0x80 ? 1 : 2;
    return length;
}

QString codePageLeft(const QString& text, int bytes)
{
    int length = 0;
    int i = 0;
    for (; i < text.size(); ++i) {
        const int width = text[i].unicode() < 0x80 ? 1 : 2;
        if (length + width > bytes)
            break;
        length += width;
    }
    return text.left(i);
}

ServerError conversionFailed(const QString& text, const SqlType& target)
{
    return ServerError(245,
        QStringLiteral("Conversion failed when converting the varchar value '%1' to data type %2.")
            .arg(text, target.baseName()),
        16)
        .setAbortsBatch();
}

ServerError overflow(const QString& source, const SqlType& target)
{
    return ServerError(8115,
        QStringLiteral("Arithmetic overflow error converting %1 to data type %2.")
            .arg(source, target.isExactNumeric() ? QStringLiteral("numeric") : target.baseName()),
        16)
        .setAbortsBatch();
}

ServerError truncated()
{
    return ServerError(8152, QStringLiteral("String or binary data would be truncated."), 16, 14);
}

bool integerRange(const SqlType& type, qint64 value)
{
    switch (type.base) {
    case Base::TinyInt:
        return value >= 0 && value <= 255;
    case Base::SmallInt:
        return value >= -32768 && value <= 32767;
    case Base::Int:
        return value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max();
    default:
        return true;
    }
}

QString numberText(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

// "yyyy-MM-dd HH:mm:ss.zzz" of a valid date-time within datetime's range (1753 to 9999), on
// one of datetime's ticks.
bool isStoredDateTime(const char* text, int size)
{
    DateTimeText::StoredParts parts {};
    return DateTimeText::splitStoredUtf8(text, size, parts) && parts.year >= 1753
        && QDate::isValid(parts.year, parts.month, parts.day) && parts.hour < 24 && parts.minute < 60
        && parts.second < 60 && DateTimeText::isTick(parts.millisecond);
}

void convertToInteger(sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target,
    const QString& sourceName)
{
    qint64 result = 0;
    if (type == SQLITE_INTEGER) {
        result = sqlite3_value_int64(value);
    } else if (type == SQLITE_FLOAT) {
        const double number = std::trunc(sqlite3_value_double(value));
        if (number < -9.2e18 || number > 9.2e18)
            return fail(context, overflow(sourceName, target));
        result = qint64(number);
    } else if (type == SQLITE_TEXT) {
        const QString text = textOf(value).trimmed();
        if (target.base == Base::Bit
            && (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
                || text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)) {
            result = text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ? 1 : 0;
        } else {
            static const QRegularExpression pattern(QStringLiteral("^[+-]?\\d+$"));
            if (!pattern.match(text).hasMatch())
                return fail(context, conversionFailed(textOf(value), target));
            bool ok = false;
            result = text.toLongLong(&ok);
            if (!ok || !integerRange(target, result))
                return fail(context,
                    ServerError(248,
                        QStringLiteral("The conversion of the varchar value '%1' overflowed an %2 column.")
                            .arg(text, target.baseName()),
                        16)
                        .setAbortsBatch());
        }
    } else {
        const QByteArray bytes(
            static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
        for (char byte : bytes.right(8))
            result = (result << 8) | quint8(byte);
    }
    if (target.base == Base::Bit)
        result = result != 0 ? 1 : 0;
    if (!integerRange(target, result))
        return fail(context, overflow(QStringLiteral("expression"), target));
    sqlite3_result_int64(context, result);
}

void convertToFloat(sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target,
    const QString& sourceName)
{
    double number = 0;
    if (type == SQLITE_INTEGER) {
        number = double(sqlite3_value_int64(value));
    } else if (type == SQLITE_FLOAT) {
        number = sqlite3_value_double(value);
    } else if (type == SQLITE_TEXT) {
        const QString text = textOf(value).trimmed();
        static const QRegularExpression floatPattern(
            QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
        if (!floatPattern.match(text).hasMatch()) {
            return fail(context,
                ServerError(8114,
                    QStringLiteral("Error converting data type varchar to %1.").arg(target.baseName()), 16)
                    .setAbortsBatch());
        }
        number = text.toDouble();
    } else {
        return fail(context,
            ServerError(529,
                QStringLiteral("Explicit conversion from data type varbinary to %1 is not allowed.")
                    .arg(target.baseName()),
                16));
    }
    if (!std::isfinite(number))
        return fail(context, overflow(sourceName, target));
    if (target.base == Base::Real)
        number = double(float(number));
    sqlite3_result_double(context, number);
}

void convertToDateTime(sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target)
{
    QDateTime result;
    if (type == SQLITE_TEXT) {
        switch (DateTimeText::parse(textOf(value), result)) {
        case DateTimeText::ParseResult::Ok:
            break;
        case DateTimeText::ParseResult::Invalid:
            return fail(context,
                ServerError(241,
                    QStringLiteral(
                        "Conversion failed when converting date and/or time from character string."),
                    16)
                    .setAbortsBatch());
        case DateTimeText::ParseResult::OutOfRange:
            return fail(context,
                ServerError(242,
                    QStringLiteral("The conversion of a varchar data type to a datetime data type "
                                   "resulted in an out-of-range value."),
                    16)
                    .setAbortsBatch());
        }
    } else if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        result = DateTimeText::fromDays(sqlite3_value_double(value));
        if (result.date().year() < 1753 || result.date().year() > 9999)
            return fail(context,
                ServerError(8115,
                    QStringLiteral("Arithmetic overflow error converting expression to data type datetime."),
                    16)
                    .setAbortsBatch());
    } else {
        return fail(context,
            ServerError(529,
                QStringLiteral("Explicit conversion from data type varbinary to datetime is not allowed."),
                16));
    }
    result = DateTimeText::roundedToTicks(result);
    if (result.date().year() > 9999)
        return fail(context,
            type == SQLITE_TEXT
                ? ServerError(242,
                    QStringLiteral("The conversion of a varchar data type to a datetime data type "
                                   "resulted in an out-of-range value."),
                    16)
                      .setAbortsBatch()
                : ServerError(8115,
                    QStringLiteral("Arithmetic overflow error converting expression to data type datetime."),
                    16)
                      .setAbortsBatch());
    if (target.base == Base::SmallDateTime) {
        const QTime time = result.time();
        result.setTime(QTime(time.hour(), time.minute()));
        if (time.second() >= 30)
            result = result.addSecs(60);
    }
    resultText(context, DateTimeText::format(result));
}

void convertToText(
    sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target, bool store)
{
    QString text;
    if (type == SQLITE_INTEGER)
        text = QString::number(sqlite3_value_int64(value));
    else if (type == SQLITE_FLOAT)
        text = numberText(sqlite3_value_double(value));
    else if (type == SQLITE_TEXT)
        text = textOf(value);
    else
        text = QString::fromLatin1(
            static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
    if (target.length != SqlType::MaxLength) {
        const bool national = target.isNational();
        const int length = national ? int(text.size()) : codePageLength(text);
        if (length > target.length) {
            const QString kept = national ? text.left(target.length) : codePageLeft(text, target.length);
            // Only blanks beyond the end may go silently.
            if (store && !text.mid(kept.size()).trimmed().isEmpty())
                return fail(context, truncated());
            text = kept;
        }
        if (target.base == Base::Char || target.base == Base::NChar) {
            const int padded = national ? int(text.size()) : codePageLength(text);
            text += QString(qMax(0, target.length - padded), QLatin1Char(' '));
        }
    }
    resultText(context, text);
}

void convertToBinary(
    sqlite3_context* context, sqlite3_value* value, int type, const SqlType& target, bool store)
{
    QByteArray bytes;
    if (type == SQLITE_BLOB) {
        bytes = QByteArray(static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
    } else if (type == SQLITE_TEXT) {
        bytes = textOf(value).toUtf8();
    } else if (type == SQLITE_INTEGER) {
        const qint32 number = qint32(sqlite3_value_int64(value));
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((number >> shift) & 0xff));
    } else {
        return fail(context,
            ServerError(529,
                QStringLiteral("Explicit conversion from data type float to %1 is not allowed.")
                    .arg(target.baseName()),
                16));
    }
    if (target.length != SqlType::MaxLength && bytes.size() > target.length) {
        if (store)
            return fail(context, truncated());
        bytes.truncate(target.length);
    }
    sqlite3_result_blob(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

// Converts one value to a column type; `store` marks an assignment to a column, where
// text that does not fit fails instead of being cut.
void convertValue(
    sqlite3_context* context, sqlite3_value* value, const SqlType& target, int style, bool store)
{
    Q_UNUSED(style);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    // The common cases of an import go without a detour through QString: a text that fits its
    // column, and a date-time as the engine stores it, pass unchanged. (Every character takes
    // at least one UTF-8 byte per byte it counts in a column's length.)
    if (type == SQLITE_TEXT && target.isText() && target.base != Base::Char && target.base != Base::NChar
        && (target.length == SqlType::MaxLength || sqlite3_value_bytes(value) <= target.length)) {
        sqlite3_result_value(context, value);
        return;
    }
    if (type == SQLITE_TEXT && target.base == Base::DateTime
        && isStoredDateTime(
            reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value))) {
        sqlite3_result_value(context, value);
        return;
    }
    const QString sourceName = type == SQLITE_INTEGER ? QStringLiteral("int")
        : type == SQLITE_FLOAT                        ? QStringLiteral("float")
                                                      : QStringLiteral("varchar");

    if (target.isInteger())
        return convertToInteger(context, value, type, target, sourceName);
    if (target.isExactNumeric())
        return DecimalFunctions::convert(context, value, target);
    if (target.base == Base::Float || target.base == Base::Real)
        return convertToFloat(context, value, type, target, sourceName);
    if (target.isDateTime())
        return convertToDateTime(context, value, type, target);
    if (target.isText())
        return convertToText(context, value, type, target, store);
    if (target.isBinary())
        return convertToBinary(context, value, type, target, store);
    sqlite3_result_value(context, value);
}

// tsql_convert(value, code, length, precision, scale, style, store)
void convertFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    const SqlType target = SqlType::fromCode(sqlite3_value_int(values[1]), sqlite3_value_int(values[2]),
        sqlite3_value_int(values[3]), sqlite3_value_int(values[4]));
    convertValue(context, values[0], target, sqlite3_value_int(values[5]), sqlite3_value_int(values[6]) != 0);
}

// tsql_format_datetime(value, style): CONVERT of a date to text.
void formatDateTimeFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    QDateTime value;
    if (!DateTimeText::fromStored(textOf(values[0]), value))
        return resultText(context, textOf(values[0]));
    resultText(context, DateTimeText::formatStyle(value, sqlite3_value_int(values[1])));
}

bool numberFromText(const QString& text, double& number, bool& integral)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!pattern.match(text).hasMatch())
        return false;
    number = text.trimmed().toDouble();
    integral = !text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e'))
        && !text.contains(QLatin1Char('E'));
    return true;
}

// a + b: joins texts, adds numbers, and converts a text to a number when the other is one.
void addFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (anyNull(2, values))
        return sqlite3_result_null(context);
    const int left = sqlite3_value_type(values[0]);
    const int right = sqlite3_value_type(values[1]);
    if (left == SQLITE_TEXT && right == SQLITE_TEXT)
        return resultText(context, textOf(values[0]) + textOf(values[1]));
    if (left == SQLITE_BLOB && right == SQLITE_BLOB) {
        QByteArray bytes(
            static_cast<const char*>(sqlite3_value_blob(values[0])), sqlite3_value_bytes(values[0]));
        bytes.append(static_cast<const char*>(sqlite3_value_blob(values[1])), sqlite3_value_bytes(values[1]));
        return sqlite3_result_blob(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    double numbers[2];
    bool integral[2] = { true, true };
    for (int i = 0; i < 2; ++i) {
        const int type = sqlite3_value_type(values[i]);
        if (type == SQLITE_INTEGER) {
            numbers[i] = double(sqlite3_value_int64(values[i]));
        } else if (type == SQLITE_FLOAT) {
            numbers[i] = sqlite3_value_double(values[i]);
            integral[i] = false;
        } else if (type == SQLITE_TEXT) {
            const int other = sqlite3_value_type(values[1 - i]);
            if (!numberFromText(textOf(values[i]), numbers[i], integral[i])
                || (other == SQLITE_INTEGER && !integral[i]))
                return fail(context,
                    conversionFailed(
                        textOf(values[i]), SqlType::of(other == SQLITE_INTEGER ? Base::Int : Base::Float)));
            integral[i] = other == SQLITE_INTEGER;
        } else {
            return fail(context,
                ServerError(402,
                    QStringLiteral("The data types varbinary and int are incompatible in the add operator."),
                    16));
        }
    }
    if (integral[0] && integral[1] && sqlite3_value_type(values[0]) != SQLITE_FLOAT
        && sqlite3_value_type(values[1]) != SQLITE_FLOAT)
        return sqlite3_result_int64(context, qint64(numbers[0]) + qint64(numbers[1]));
    sqlite3_result_double(context, numbers[0] + numbers[1]);
}

// tsql_dateadd_days(datetime text, days)
void addDaysFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (anyNull(2, values))
        return sqlite3_result_null(context);
    QDateTime value;
    if (!DateTimeText::fromStored(textOf(values[0]), value))
        return fail(context,
            ServerError(241,
                QStringLiteral("Conversion failed when converting date and/or time from character string."),
                16)
                .setAbortsBatch());
    const double days = sqlite3_value_double(values[1]);
    resultText(context,
        DateTimeText::format(
            DateTimeText::roundedToTicks(value.addMSecs(qint64(std::llround(days * 86400000.0))))));
}

void lenFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    sqlite3_result_int64(context, rightTrimmed(textOf(values[0])).size());
}

// datalength(value [, form]): bytes as stored, or for text in the code page (form 1) or
// in UTF-16 (form 2), as SQL Server keeps varchar and nvarchar.
void datalengthFunction(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    const int form = count > 1 ? sqlite3_value_int(values[1]) : 0;
    if (form == 1)
        return sqlite3_result_int64(context, codePageLength(textOf(values[0])));
    if (form == 2)
        return sqlite3_result_int64(context, 2 * textOf(values[0]).size());
    sqlite3_result_int64(context, sqlite3_value_bytes(values[0]));
}

void leftRight(sqlite3_context* context, sqlite3_value** values, bool left)
{
    if (anyNull(2, values))
        return sqlite3_result_null(context);
    const qint64 count = sqlite3_value_int64(values[1]);
    if (count < 0)
        return fail(context,
            ServerError(536,
                QStringLiteral("Invalid length parameter passed to the %1 function.")
                    .arg(left ? QStringLiteral("left") : QStringLiteral("right")),
                16));
    const QString text = textOf(values[0]);
    resultText(context, left ? text.left(count) : text.right(count));
}

void leftFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    leftRight(context, values, true);
}

void rightFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    leftRight(context, values, false);
}

void substringFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (anyNull(3, values))
        return sqlite3_result_null(context);
    qint64 start = sqlite3_value_int64(values[1]);
    qint64 length = sqlite3_value_int64(values[2]);
    if (length < 0)
        return fail(context,
            ServerError(
                537, QStringLiteral("Invalid length parameter passed to the substring function."), 16));
    if (start < 1) {
        length += start - 1;
        start = 1;
    }
    if (sqlite3_value_type(values[0]) == SQLITE_BLOB) {
        const QByteArray bytes(
            static_cast<const char*>(sqlite3_value_blob(values[0])), sqlite3_value_bytes(values[0]));
        const QByteArray part = length > 0 ? bytes.mid(start - 1, length) : QByteArray();
        return sqlite3_result_blob(context, part.constData(), int(part.size()), SQLITE_TRANSIENT);
    }
    const QString text = textOf(values[0]);
    resultText(context, length > 0 ? text.mid(start - 1, length) : QString());
}

void charindexFunction(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (anyNull(qMin(count, 2), values))
        return sqlite3_result_null(context);
    const QString needle = textOf(values[0]);
    const QString haystack = textOf(values[1]);
    qint64 start = count > 2 && !isNull(values[2]) ? sqlite3_value_int64(values[2]) : 1;
    if (start < 1)
        start = 1;
    if (needle.isEmpty())
        return sqlite3_result_int64(context, 0);
    sqlite3_result_int64(context, haystack.indexOf(needle, start - 1, Qt::CaseInsensitive) + 1);
}

void replaceFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (anyNull(3, values))
        return sqlite3_result_null(context);
    const QString find = textOf(values[1]);
    QString text = textOf(values[0]);
    if (!find.isEmpty())
        text.replace(find, textOf(values[2]), Qt::CaseInsensitive);
    resultText(context, text);
}

void upperFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    resultText(context, textOf(values[0]).toUpper());
}

void lowerFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    resultText(context, textOf(values[0]).toLower());
}

void ltrimFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    const QString text = textOf(values[0]);
    int start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    resultText(context, text.mid(start));
}

void rtrimFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    resultText(context, rightTrimmed(textOf(values[0])));
}

void getdateFunction(sqlite3_context* context, int, sqlite3_value**)
{
    resultText(context, DateTimeText::format(DateTimeText::roundedToTicks(QDateTime::currentDateTime())));
}

void datePart(sqlite3_context* context, sqlite3_value** values, int part)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    QDateTime value;
    const int type = sqlite3_value_type(values[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        value = DateTimeText::fromDays(sqlite3_value_double(values[0]));
    else if (!DateTimeText::fromStored(textOf(values[0]), value))
        return fail(context,
            ServerError(241,
                QStringLiteral("Conversion failed when converting date and/or time from character string."),
                16)
                .setAbortsBatch());
    const QDate date = value.date();
    sqlite3_result_int(context, part == 0 ? date.year() : part == 1 ? date.month() : date.day());
}

void yearFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    datePart(context, values, 0);
}

void monthFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    datePart(context, values, 1);
}

void dayFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    datePart(context, values, 2);
}

void identityFunction(sqlite3_context* context, int, sqlite3_value**)
{
    const sqlite3_int64 rowid = sqlite3_last_insert_rowid(sqlite3_context_db_handle(context));
    if (rowid == 0)
        return sqlite3_result_null(context);
    sqlite3_result_int64(context, rowid);
}

void isnumericFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    const int type = sqlite3_value_type(values[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        return sqlite3_result_int(context, 1);
    double number = 0;
    bool integral = false;
    sqlite3_result_int(
        context, type == SQLITE_TEXT && numberFromText(textOf(values[0]), number, integral) ? 1 : 0);
}

// The value of a scalar subquery, given the number of rows it returned.
void singleValueFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (sqlite3_value_int64(values[0]) > 1)
        return fail(context,
            ServerError(512,
                QStringLiteral("Subquery returned more than 1 value. This is not permitted when the subquery "
                               "follows =, !=, <, <= , >, >= or when the subquery is used as an expression."),
                16, 1));
    sqlite3_result_value(context, values[1]);
}

// T-SQL LIKE: % and _, [abc], [a-z], [^abc], an escape character, case-insensitive.
bool likeMatch(const QString& pattern, int p, const QString& text, int t, QChar escape)
{
    while (p < pattern.size()) {
        const QChar c = pattern[p];
        if (!escape.isNull() && c == escape && p + 1 < pattern.size()) {
            if (t >= text.size() || text[t].toCaseFolded() != pattern[p + 1].toCaseFolded())
                return false;
            p += 2;
            ++t;
            continue;
        }
        if (c == QLatin1Char('%')) {
            while (p < pattern.size() && pattern[p] == QLatin1Char('%'))
                ++p;
            if (p == pattern.size())
                return true;
            for (int i = t; i <= text.size(); ++i) {
                if (likeMatch(pattern, p, text, i, escape))
                    return true;
            }
            return false;
        }
        if (t >= text.size())
            return false;
        if (c == QLatin1Char('_')) {
            ++p;
            ++t;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const int close = pattern.indexOf(QLatin1Char(']'), p + 2);
            if (close > p) {
                QString set = pattern.mid(p + 1, close - p - 1);
                bool negate = set.startsWith(QLatin1Char('^'));
                if (negate)
                    set.remove(0, 1);
                const QChar folded = text[t].toCaseFolded();
                bool found = false;
                for (int i = 0; i < set.size(); ++i) {
                    if (i + 2 < set.size() && set[i + 1] == QLatin1Char('-')) {
                        if (folded >= set[i].toCaseFolded() && folded <= set[i + 2].toCaseFolded())
                            found = true;
                        i += 2;
                    } else if (set[i].toCaseFolded() == folded) {
                        found = true;
                    }
                }
                if (found == negate)
                    return false;
                p = close + 1;
                ++t;
                continue;
            }
        }
        if (c.toCaseFolded() != text[t].toCaseFolded())
            return false;
        ++p;
        ++t;
    }
    return t == text.size();
}

// like(pattern, value [, escape]) implements "value LIKE pattern".
void likeFunction(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (anyNull(2, values))
        return sqlite3_result_null(context);
    QChar escape;
    if (count > 2 && !isNull(values[2])) {
        const QString text = textOf(values[2]);
        if (text.size() == 1)
            escape = text[0];
    }
    sqlite3_result_int(context, likeMatch(textOf(values[0]), 0, textOf(values[1]), 0, escape) ? 1 : 0);
}

// The character of the BMP outside the surrogates that starts at `text[i]`, or -1.
int bmpCharacterAt(const unsigned char* text, int length, int i)
{
    const unsigned char lead = text[i];
    if (lead >= 0xC2 && lead <= 0xDF && i + 1 < length && (text[i + 1] & 0xC0) == 0x80)
        return ((lead & 0x1F) << 6) | (text[i + 1] & 0x3F);
    if (lead >= 0xE0 && lead <= 0xEF && i + 2 < length && (text[i + 1] & 0xC0) == 0x80
        && (text[i + 2] & 0xC0) == 0x80) {
        const int character = ((lead & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
        if (character >= 0x800 && (character < 0xD800 || character > 0xDFFF))
            return character;
    }
    return -1;
}

int collate(void*, int leftLength, const void* leftData, int rightLength, const void* rightData)
{
    const auto* left = static_cast<const unsigned char*>(leftData);
    const auto* right = static_cast<const unsigned char*>(rightData);
    while (leftLength > 0 && left[leftLength - 1] == ' ')
        --leftLength;
    while (rightLength > 0 && right[rightLength - 1] == ' ')
        --rightLength;
    int i = 0;
    const int common = qMin(leftLength, rightLength);
    for (; i < common; ++i) {
        unsigned char a = left[i];
        unsigned char b = right[i];
        // Equal bytes are equal characters: only the first difference needs a closer look.
        if (a == b)
            continue;
        if ((a | b) & 0x80) {
            // Back to the start of the character the difference lies in.
            while (i > 0 && ((left[i] & 0xC0) == 0x80 || (right[i] & 0xC0) == 0x80))
                --i;
            // Two characters of the BMP that differ when folded decide without more work.
            const int leftCharacter = left[i] < 0x80 ? left[i] : bmpCharacterAt(left, leftLength, i);
            const int rightCharacter = right[i] < 0x80 ? right[i] : bmpCharacterAt(right, rightLength, i);
            if (leftCharacter >= 0 && rightCharacter >= 0) {
                const char32_t leftFolded = QChar::toCaseFolded(char32_t(leftCharacter));
                const char32_t rightFolded = QChar::toCaseFolded(char32_t(rightCharacter));
                if (leftFolded != rightFolded)
                    return leftFolded < rightFolded ? -1 : 1;
            }
            // Otherwise compare the rest by folded characters.
            const QString restLeft
                = QString::fromUtf8(reinterpret_cast<const char*>(left + i), leftLength - i);
            const QString restRight
                = QString::fromUtf8(reinterpret_cast<const char*>(right + i), rightLength - i);
            const int result = restLeft.compare(restRight, Qt::CaseInsensitive);
            return result < 0 ? -1 : result > 0 ? 1 : 0;
        }
        if (a >= 'A' && a <= 'Z')
            a += 'a' - 'A';
        if (b >= 'A' && b <= 'Z')
            b += 'a' - 'A';
        if (a != b)
            return a < b ? -1 : 1;
    }
    return leftLength < rightLength ? -1 : leftLength > rightLength ? 1 : 0;
}

// glimora_cell_text(x): a workbook number in a column of several kinds, written as the cell
// holds it: the shortest text that reads back as the same number.
void cellTextFunction(sqlite3_context* context, int, sqlite3_value** arguments)
{
    if (sqlite3_value_type(arguments[0]) != SQLITE_FLOAT) {
        sqlite3_result_value(context, arguments[0]);
        return;
    }
    const QByteArray text
        = QByteArray::number(sqlite3_value_double(arguments[0]), 'g', QLocale::FloatingPointShortest);
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void define(sqlite3* db, const char* name, int arguments,
    void (*function)(sqlite3_context*, int, sqlite3_value**), bool deterministic = true)
{
    sqlite3_create_function_v2(db, name, arguments, SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0),
        nullptr, function, nullptr, nullptr, nullptr);
}

} // namespace

void SqlFunctions::install(sqlite3* db)
{
    sqlite3_create_collation_v2(db, "TSQL", SQLITE_UTF8, nullptr, collate, nullptr);
    DecimalFunctions::install(db);
    DateFunctions::install(db);
    define(db, "tsql_convert", 7, convertFunction);
    define(db, "glimora_cell_text", 1, cellTextFunction);
    define(db, "tsql_format_datetime", 2, formatDateTimeFunction);
    define(db, "tsql_add", 2, addFunction);
    define(db, "tsql_dateadd_days", 2, addDaysFunction);
    define(db, "tsql_len", 1, lenFunction);
    define(db, "tsql_datalength", 1, datalengthFunction);
    define(db, "tsql_datalength", 2, datalengthFunction);
    define(db, "tsql_left", 2, leftFunction);
    define(db, "tsql_right", 2, rightFunction);
    define(db, "tsql_substring", 3, substringFunction);
    define(db, "tsql_charindex", 2, charindexFunction);
    define(db, "tsql_charindex", 3, charindexFunction);
    define(db, "tsql_replace", 3, replaceFunction);
    define(db, "tsql_upper", 1, upperFunction);
    define(db, "tsql_lower", 1, lowerFunction);
    define(db, "tsql_ltrim", 1, ltrimFunction);
    define(db, "tsql_rtrim", 1, rtrimFunction);
    define(db, "tsql_getdate", 0, getdateFunction, false);
    define(db, "tsql_year", 1, yearFunction);
    define(db, "tsql_month", 1, monthFunction);
    define(db, "tsql_day", 1, dayFunction);
    define(db, "tsql_identity", 0, identityFunction, false);
    define(db, "tsql_isnumeric", 1, isnumericFunction);
    define(db, "tsql_single_value", 2, singleValueFunction);
    define(db, "like", 2, likeFunction);
    define(db, "like", 3, likeFunction);
}

QByteArray SqlFunctions::encodeError(const ServerError& error)
{
    return QStringLiteral("%1%2|%3|%4|%5|%6")
        .arg(QLatin1String(ErrorMarker))
        .arg(error.number())
        .arg(error.severity())
        .arg(error.state())
        .arg(error.abortsBatch() ? 1 : 0)
        .arg(error.message())
        .toUtf8();
}

std::optional<ServerError> SqlFunctions::decodeError(const QString& message)
{
    const int start = message.indexOf(QLatin1String(ErrorMarker));
    if (start < 0)
        return std::nullopt;
    const QStringList parts = message.mid(start + int(std::strlen(ErrorMarker))).split(QLatin1Char('|'));
    if (parts.size() < 5)
        return std::nullopt;
    ServerError error(
        parts[0].toInt(), parts.mid(4).join(QLatin1Char('|')), parts[1].toInt(), parts[2].toInt());
    error.setAbortsBatch(parts[3] == QLatin1String("1"));
    return error;
}

int SqlFunctions::compareText(const QByteArray& left, const QByteArray& right)
{
    return collate(nullptr, int(left.size()), left.constData(), int(right.size()), right.constData());
}

} // namespace glimora::engine
