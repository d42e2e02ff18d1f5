#include "engine/values/SqlFunctions.h"

#include "engine/values/ConversionFunctions.h"
#include "engine/values/DateFunctions.h"
#include "engine/values/DateTimeText.h"
#include "engine/values/DecimalFunctions.h"
#include "engine/values/FunctionValues.h"
#include "engine/values/TextFunctions.h"

#include <cmath>
#include <cstring>
#include <QByteArray>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <sqlite3.h>

namespace glimora::engine {

using namespace FunctionValues;

namespace {

constexpr char ErrorMarker[] = "TSQLERR|";
using Base = SqlType::Base;

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

} // namespace

void SqlFunctions::install(sqlite3* db)
{
    sqlite3_create_collation_v2(db, "TSQL", SQLITE_UTF8, nullptr, collate, nullptr);
    DecimalFunctions::install(db);
    DateFunctions::install(db);
    ConversionFunctions::install(db);
    TextFunctions::install(db);
    define(db, "glimora_cell_text", 1, cellTextFunction);
    define(db, "tsql_add", 2, addFunction);
    define(db, "tsql_dateadd_days", 2, addDaysFunction);
    define(db, "tsql_getdate", 0, getdateFunction, false);
    define(db, "tsql_year", 1, yearFunction);
    define(db, "tsql_month", 1, monthFunction);
    define(db, "tsql_day", 1, dayFunction);
    define(db, "tsql_identity", 0, identityFunction, false);
    define(db, "tsql_isnumeric", 1, isnumericFunction);
    define(db, "tsql_single_value", 2, singleValueFunction);
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
