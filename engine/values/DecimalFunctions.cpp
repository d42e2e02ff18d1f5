#include "engine/values/DecimalFunctions.h"

#include "engine/server/ServerError.h"
#include "engine/values/SqlFunctions.h"

#include <cmath>
#include <cstring>
#include <sqlite3.h>

namespace glimora::engine {

namespace {

ServerError overflow(const QString& source)
{
    return ServerError(
        8115, QStringLiteral("Arithmetic overflow error converting %1 to data type numeric.").arg(source), 16)
        .setAbortsBatch();
}

ServerError notANumber()
{
    return ServerError(8114, QStringLiteral("Error converting data type varchar to numeric."), 16)
        .setAbortsBatch();
}

void fail(sqlite3_context* context, const ServerError& error)
{
    const QByteArray text = SqlFunctions::encodeError(error);
    sqlite3_result_error(context, text.constData(), int(text.size()));
}

QString sourceName(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return QStringLiteral("int");
    case SQLITE_FLOAT:
        return QStringLiteral("float");
    default:
        return QStringLiteral("varchar");
    }
}

// Hands a value of type numeric(p,s) to SQLite in its stored form.
void resultAs(sqlite3_context* context, const DecimalNumber& value, const SqlType& type)
{
    if (!type.keepsDecimalText()) {
        if (const std::optional<qint64> whole = value.toInt64()) {
            sqlite3_result_int64(context, *whole);
            return;
        }
    }
    const QByteArray text = value.toText();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

SqlType typeFrom(sqlite3_value* precision, sqlite3_value* scale)
{
    return SqlType::of(SqlType::Base::Numeric, 0, sqlite3_value_int(precision), sqlite3_value_int(scale));
}

// Rounds a result to its type and checks that it fits; false after failing the context.
bool fitTo(
    sqlite3_context* context, std::optional<DecimalNumber>& value, const SqlType& type, bool cut = false)
{
    if (value)
        value = value->rescaled(type.scale, cut);
    if (!value || !value->fits(type.precision, type.scale)) {
        fail(context, overflow(QStringLiteral("expression")));
        return false;
    }
    return true;
}

void decimalFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    try {
        const std::optional<DecimalNumber> value = DecimalFunctions::read(values[0]);
        if (!value)
            return sqlite3_result_null(context);
        const QByteArray text = value->toText();
        sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    } catch (const ServerError& error) {
        fail(context, error);
    }
}

// tsql_decimal_op(op, a, b, precision, scale)
void operatorFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    try {
        const QByteArray op(reinterpret_cast<const char*>(sqlite3_value_text(values[0])));
        const SqlType type = typeFrom(values[3], values[4]);
        const std::optional<DecimalNumber> left = DecimalFunctions::read(values[1]);
        if (!left)
            return sqlite3_result_null(context);
        std::optional<DecimalNumber> result;
        if (op == "abs") {
            result = left->abs();
        } else {
            const std::optional<DecimalNumber> right = DecimalFunctions::read(values[2]);
            if (!right)
                return sqlite3_result_null(context);
            if ((op == "/" || op == "%") && right->isZero())
                return fail(
                    context, ServerError(8134, QStringLiteral("Divide by zero error encountered."), 16));
            if (op == "+")
                result = DecimalNumber::add(*left, *right);
            else if (op == "-")
                result = DecimalNumber::subtract(*left, *right);
            else if (op == "*")
                result = DecimalNumber::multiply(*left, *right);
            else if (op == "/")
                result = DecimalNumber::divide(*left, *right, type.scale);
            else
                result = DecimalNumber::remainder(*left, *right);
        }
        if (fitTo(context, result, type, op == "/"))
            resultAs(context, *result, type);
    } catch (const ServerError& error) {
        fail(context, error);
    }
}

// tsql_decimal_round(x, places, cut, precision, scale)
void roundFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    try {
        const std::optional<DecimalNumber> value = DecimalFunctions::read(values[0]);
        if (!value || sqlite3_value_type(values[1]) == SQLITE_NULL)
            return sqlite3_result_null(context);
        const SqlType type = typeFrom(values[3], values[4]);
        std::optional<DecimalNumber> result = value->rescaled(qMax(value->scale(), type.scale));
        if (result)
            result = result->roundedAt(sqlite3_value_int(values[1]), sqlite3_value_int(values[2]) != 0);
        if (fitTo(context, result, type))
            resultAs(context, *result, type);
    } catch (const ServerError& error) {
        fail(context, error);
    }
}

void realFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    try {
        const std::optional<DecimalNumber> value = DecimalFunctions::read(values[0]);
        if (!value)
            return sqlite3_result_null(context);
        sqlite3_result_double(context, value->toDouble());
    } catch (const ServerError& error) {
        fail(context, error);
    }
}

void intFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    try {
        const std::optional<DecimalNumber> value = DecimalFunctions::read(values[0]);
        if (!value)
            return sqlite3_result_null(context);
        const std::optional<qint64> whole = value->toInt64();
        if (!whole)
            return fail(context,
                ServerError(8115,
                    QStringLiteral("Arithmetic overflow error converting numeric to data type bigint."), 16)
                    .setAbortsBatch());
        sqlite3_result_int64(context, *whole);
    } catch (const ServerError& error) {
        fail(context, error);
    }
}

// The running state of SUM and AVG over decimals; SQLite hands it over zero-filled, which
// is the empty state. SQLite aligns it to 8 bytes only, so the 128-bit sum is kept as bytes.
struct Accumulator
{
    unsigned char sumUnscaled[sizeof(DecimalNumber::Digits)];
    int sumScale;
    qint64 count;
    bool overflowed;
};

DecimalNumber sumOf(const Accumulator& state)
{
    DecimalNumber::Digits digits = 0;
    std::memcpy(&digits, state.sumUnscaled, sizeof digits);
    return DecimalNumber(digits, state.sumScale);
}

// tsql_decimal_sum(x), tsql_decimal_avg(x): the exact sum, and the average cut to the
// places of the values but at least six; the translator converts them to their types.
void accumulateStep(sqlite3_context* context, int, sqlite3_value** values)
{
    auto* state = static_cast<Accumulator*>(sqlite3_aggregate_context(context, sizeof(Accumulator)));
    if (!state)
        return sqlite3_result_error_nomem(context);
    try {
        const std::optional<DecimalNumber> value = DecimalFunctions::read(values[0]);
        if (!value)
            return;
        ++state->count;
        if (state->overflowed)
            return;
        const std::optional<DecimalNumber> sum = DecimalNumber::add(sumOf(*state), *value);
        if (!sum) {
            state->overflowed = true;
            return;
        }
        const DecimalNumber::Digits digits = sum->unscaled();
        std::memcpy(state->sumUnscaled, &digits, sizeof digits);
        state->sumScale = sum->scale();
    } catch (const ServerError& error) {
        fail(context, error);
    }
}

void accumulateFinal(sqlite3_context* context, bool average)
{
    auto* state = static_cast<Accumulator*>(sqlite3_aggregate_context(context, 0));
    if (!state || state->count == 0)
        return sqlite3_result_null(context);
    if (state->overflowed)
        return fail(context, overflow(QStringLiteral("expression")));
    const DecimalNumber sum = sumOf(*state);
    const SqlType type
        = SqlType::of(SqlType::Base::Numeric, 0, 38, average ? qMax(6, sum.scale()) : sum.scale());
    std::optional<DecimalNumber> result
        = average ? DecimalNumber::divide(sum, DecimalNumber::fromInteger(state->count), type.scale) : sum;
    if (fitTo(context, result, type, average))
        resultAs(context, *result, type);
}

void sumFinal(sqlite3_context* context)
{
    accumulateFinal(context, false);
}

void averageFinal(sqlite3_context* context)
{
    accumulateFinal(context, true);
}

} // namespace

std::optional<DecimalNumber> DecimalFunctions::read(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER:
        return DecimalNumber::fromInteger(sqlite3_value_int64(value));
    case SQLITE_FLOAT: {
        std::optional<DecimalNumber> number = DecimalNumber::fromDouble(sqlite3_value_double(value));
        if (!number)
            throw overflow(QStringLiteral("float"));
        return number;
    }
    case SQLITE_TEXT: {
        const std::optional<DecimalNumber> number = DecimalNumber::parse(QByteArrayView(
            reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value)));
        if (!number)
            throw notANumber();
        return number;
    }
    default:
        throw ServerError(529,
            QStringLiteral("Explicit conversion from data type varbinary to numeric is not allowed."), 16);
    }
}

void DecimalFunctions::convert(sqlite3_context* context, sqlite3_value* value, const SqlType& target)
{
    // Most numbers of a workbook are short decimals (12, 3.5, 0.01). When a double is the
    // nearest one to n / 10^scale with n below 10^15, its 15 significant digits are exactly
    // those of n, so the conversion through text would give n too: take it directly.
    static constexpr double powersOfTen[]
        = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15 };
    if (sqlite3_value_type(value) == SQLITE_FLOAT && target.scale >= 0 && target.scale <= 15) {
        const double number = sqlite3_value_double(value);
        const double scaled = number * powersOfTen[target.scale];
        if (number != 0 && std::fabs(scaled) < 1e15) {
            const qint64 unscaled = std::llround(scaled);
            const DecimalNumber exact(unscaled, target.scale);
            if (double(unscaled) / powersOfTen[target.scale] == number
                && exact.fits(target.precision, target.scale))
                return resultAs(context, exact, target);
        }
    }
    try {
        std::optional<DecimalNumber> number = read(value);
        if (!number)
            return sqlite3_result_null(context);
        number = number->rescaled(target.scale);
        if (!number || !number->fits(target.precision, target.scale))
            return fail(context, overflow(sourceName(value)));
        resultAs(context, *number, target);
    } catch (const ServerError& error) {
        fail(context, error);
    }
}

void DecimalFunctions::install(sqlite3* db)
{
    sqlite3_create_collation_v2(
        db, "DECIMAL", SQLITE_UTF8, nullptr,
        [](void*, int leftLength, const void* left, int rightLength, const void* right) {
            return DecimalNumber::compareText(QByteArrayView(static_cast<const char*>(left), leftLength),
                QByteArrayView(static_cast<const char*>(right), rightLength));
        },
        nullptr);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(
        db, "tsql_decimal", 1, flags, nullptr, decimalFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_decimal_op", 5, flags, nullptr, operatorFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_decimal_round", 5, flags, nullptr, roundFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_decimal_real", 1, flags, nullptr, realFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_decimal_int", 1, flags, nullptr, intFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_decimal_sum", 1, flags, nullptr, nullptr, accumulateStep, sumFinal, nullptr);
    sqlite3_create_function_v2(
        db, "tsql_decimal_avg", 1, flags, nullptr, nullptr, accumulateStep, averageFinal, nullptr);
}

} // namespace glimora::engine
