#include "engine/values/DecimalNumber.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace glimora::engine {

namespace {

using Magnitude = unsigned __int128;

Magnitude power10(int exponent)
{
    Magnitude result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}

const Magnitude& limit()
{
    static const Magnitude value = power10(DecimalNumber::MaxPrecision);
    return value;
}

Magnitude magnitudeOf(DecimalNumber::Digits value)
{
    return value < 0 ? Magnitude(0) - Magnitude(value) : Magnitude(value);
}

std::optional<DecimalNumber> make(bool negative, Magnitude magnitude, int scale)
{
    if (magnitude >= limit())
        return std::nullopt;
    const auto value = DecimalNumber::Digits(magnitude);
    return DecimalNumber(negative ? -value : value, scale);
}

// magnitude * 10^exponent, or nothing when it passes 38 digits.
std::optional<Magnitude> scaleUp(Magnitude magnitude, int exponent)
{
    if (magnitude == 0)
        return Magnitude(0);
    if (exponent > DecimalNumber::MaxPrecision)
        return std::nullopt;
    Magnitude result = 0;
    if (__builtin_mul_overflow(magnitude, power10(exponent), &result) || result >= limit())
        return std::nullopt;
    return result;
}

// magnitude / 10^exponent, rounded half away from zero or cut.
Magnitude scaleDown(Magnitude magnitude, int exponent, bool truncate)
{
    if (exponent > DecimalNumber::MaxPrecision)
        return 0;
    const Magnitude divisor = power10(exponent);
    Magnitude quotient = magnitude / divisor;
    const Magnitude rest = magnitude % divisor;
    if (!truncate && rest >= divisor - rest)
        ++quotient;
    return quotient;
}

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

DecimalNumber::DecimalNumber(Digits unscaled, int scale)
    : m_unscaled(unscaled)
    , m_scale(scale)
{
}

std::optional<DecimalNumber> DecimalNumber::parse(QByteArrayView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (start < end && (text[start] == '-' || text[start] == '+')) {
        negative = text[start] == '-';
        ++start;
    }
    Magnitude magnitude = 0;
    int significant = 0;
    int scale = 0;
    int digits = 0;
    bool afterPoint = false;
    bool roundUp = false;
    bool cut = false;
    for (qsizetype i = start; i < end; ++i) {
        const char c = text[i];
        if (c == '.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        ++digits;
        if (cut)
            continue;
        if (!afterPoint && magnitude == 0 && c == '0')
            continue;
        if (significant == MaxPrecision || (afterPoint && scale == MaxPrecision)) {
            if (!afterPoint)
                return std::nullopt; // more than 38 digits before the point
            roundUp = c >= '5';
            cut = true;
            continue;
        }
        magnitude = magnitude * 10 + Magnitude(c - '0');
        if (magnitude != 0)
            ++significant;
        if (afterPoint)
            ++scale;
    }
    if (digits == 0)
        return std::nullopt;
    if (roundUp)
        ++magnitude;
    return make(negative, magnitude, scale);
}

std::optional<DecimalNumber> DecimalNumber::fromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // "d.dddddddddddddde±x": 15 significant digits and the power of ten of the first.
    const QByteArray text = QByteArray::number(value, 'e', 14);
    const qsizetype e = text.indexOf('e');
    QByteArray mantissa = text.left(e);
    mantissa.replace(".", "");
    const int exponent = text.mid(e + 1).toInt();
    std::optional<DecimalNumber> digits = parse(QByteArrayView(mantissa));
    if (!digits)
        return std::nullopt;
    const int scale = 14 - exponent;
    if (scale >= 0) {
        if (scale <= MaxPrecision)
            return DecimalNumber(digits->m_unscaled, scale);
        return DecimalNumber(digits->m_unscaled, scale).rescaled(MaxPrecision);
    }
    const std::optional<Magnitude> whole = scaleUp(magnitudeOf(digits->m_unscaled), -scale);
    if (!whole)
        return std::nullopt;
    return make(digits->isNegative(), *whole, 0);
}

int DecimalNumber::integerDigits() const
{
    Magnitude whole = magnitudeOf(m_unscaled);
    if (m_scale > 0)
        whole = m_scale > MaxPrecision ? 0 : whole / power10(m_scale);
    int count = 0;
    for (; whole != 0; whole /= 10)
        ++count;
    return count;
}

std::optional<DecimalNumber> DecimalNumber::rescaled(int scale, bool truncate) const
{
    if (scale == m_scale)
        return *this;
    const Magnitude magnitude = magnitudeOf(m_unscaled);
    if (scale > m_scale) {
        const std::optional<Magnitude> larger = scaleUp(magnitude, scale - m_scale);
        if (!larger)
            return std::nullopt;
        return make(isNegative(), *larger, scale);
    }
    return make(isNegative(), scaleDown(magnitude, m_scale - scale, truncate), scale);
}

std::optional<DecimalNumber> DecimalNumber::roundedAt(int places, bool truncate) const
{
    if (places >= m_scale)
        return *this;
    const int dropped = m_scale - places;
    if (dropped > MaxPrecision)
        return DecimalNumber(0, m_scale);
    const Magnitude kept = scaleDown(magnitudeOf(m_unscaled), dropped, truncate);
    const std::optional<Magnitude> back = scaleUp(kept, dropped);
    if (!back)
        return std::nullopt;
    return make(isNegative(), *back, m_scale);
}

std::optional<qint64> DecimalNumber::toInt64() const
{
    const Magnitude whole = scaleDown(magnitudeOf(m_unscaled), m_scale, true);
    if (whole > Magnitude(std::numeric_limits<qint64>::max()) + (isNegative() ? 1 : 0))
        return std::nullopt;
    if (isNegative())
        return qint64(Magnitude(0) - whole);
    return qint64(whole);
}

double DecimalNumber::toDouble() const
{
    return toText().toDouble();
}

QByteArray DecimalNumber::toText() const
{
    char buffer[48];
    int position = sizeof(buffer);
    Magnitude magnitude = magnitudeOf(m_unscaled);
    int written = 0;
    do {
        buffer[--position] = char('0' + int(magnitude % 10));
        magnitude /= 10;
        ++written;
        if (written == m_scale && m_scale > 0) {
            buffer[--position] = '.';
            if (magnitude == 0)
                buffer[--position] = '0';
        }
    } while (magnitude != 0 || written < m_scale);
    if (isNegative())
        buffer[--position] = '-';
    return QByteArray(buffer + position, int(sizeof(buffer)) - position);
}

std::optional<DecimalNumber> DecimalNumber::add(const DecimalNumber& left, const DecimalNumber& right)
{
    const int scale = qMax(left.m_scale, right.m_scale);
    const std::optional<DecimalNumber> a = left.rescaled(scale);
    const std::optional<DecimalNumber> b = right.rescaled(scale);
    if (!a || !b)
        return std::nullopt;
    Digits sum = 0;
    if (__builtin_add_overflow(a->m_unscaled, b->m_unscaled, &sum))
        return std::nullopt;
    return make(sum < 0, magnitudeOf(sum), scale);
}

std::optional<DecimalNumber> DecimalNumber::subtract(const DecimalNumber& left, const DecimalNumber& right)
{
    return add(left, right.negated());
}

std::optional<DecimalNumber> DecimalNumber::multiply(const DecimalNumber& left, const DecimalNumber& right)
{
    Magnitude product = 0;
    if (__builtin_mul_overflow(magnitudeOf(left.m_unscaled), magnitudeOf(right.m_unscaled), &product))
        return std::nullopt;
    int scale = left.m_scale + right.m_scale;
    // Places beyond 38 cannot be kept: round them away as the product is stored.
    if (scale > MaxPrecision) {
        product = scaleDown(product, scale - MaxPrecision, false);
        scale = MaxPrecision;
    }
    return make(left.isNegative() != right.isNegative() && product != 0, product, scale);
}

std::optional<DecimalNumber> DecimalNumber::divide(
    const DecimalNumber& left, const DecimalNumber& right, int scale)
{
    const Magnitude dividend = magnitudeOf(left.m_unscaled);
    Magnitude divisor = magnitudeOf(right.m_unscaled);
    const bool negative = left.isNegative() != right.isNegative();
    // quotient = dividend * 10^(scale + right.scale - left.scale) / divisor
    int exponent = scale + right.m_scale - left.m_scale;
    if (exponent < 0) {
        if (__builtin_mul_overflow(divisor, power10(qMin(-exponent, MaxPrecision)), &divisor)
            || -exponent > MaxPrecision)
            return DecimalNumber(0, scale);
        exponent = 0;
    }
    Magnitude quotient = dividend / divisor;
    Magnitude rest = dividend % divisor;
    for (int i = 0; i < exponent; ++i) {
        // rest * 10 / divisor by repeated addition: rest * 10 itself may pass 128 bits.
        int digit = 0;
        Magnitude accumulated = 0;
        for (int step = 0; step < 10; ++step) {
            accumulated += rest;
            if (accumulated >= divisor) {
                accumulated -= divisor;
                ++digit;
            }
        }
        rest = accumulated;
        if (__builtin_mul_overflow(quotient, Magnitude(10), &quotient) || quotient >= limit())
            return std::nullopt;
        quotient += Magnitude(digit);
    }
    return make(negative && quotient != 0, quotient, scale);
}

std::optional<DecimalNumber> DecimalNumber::remainder(const DecimalNumber& left, const DecimalNumber& right)
{
    const int scale = qMax(left.m_scale, right.m_scale);
    const std::optional<DecimalNumber> a = left.rescaled(scale);
    const std::optional<DecimalNumber> b = right.rescaled(scale);
    if (!a || !b || b->m_unscaled == 0)
        return std::nullopt;
    return DecimalNumber(a->m_unscaled % b->m_unscaled, scale);
}

int DecimalNumber::compare(const DecimalNumber& left, const DecimalNumber& right)
{
    if (left.isNegative() != right.isNegative())
        return left.isNegative() ? -1 : 1;
    const int sign = left.isNegative() ? -1 : 1;
    Magnitude a = magnitudeOf(left.m_unscaled);
    Magnitude b = magnitudeOf(right.m_unscaled);
    // Bring both to the larger scale; a side that overflows 128 bits is the larger one.
    if (left.m_scale < right.m_scale) {
        if (__builtin_mul_overflow(a, power10(qMin(right.m_scale - left.m_scale, MaxPrecision)), &a))
            return sign;
    } else if (right.m_scale < left.m_scale) {
        if (__builtin_mul_overflow(b, power10(qMin(left.m_scale - right.m_scale, MaxPrecision)), &b))
            return -sign;
    }
    return a < b ? -sign : a > b ? sign : 0;
}

namespace {

// The length of the whole part of a plain non-negative decimal ("0.50", "12", "7.25": no
// sign, blank or extra leading zero), and in `places` the digits after its point; -1 for
// any other text.
qsizetype plainWholeDigits(QByteArrayView text, qsizetype& places)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i == 0 || (i > 1 && text[0] == '0'))
        return -1;
    places = 0;
    if (i == text.size())
        return i;
    if (text[i] != '.')
        return -1;
    for (qsizetype j = i + 1; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9')
            return -1;
        ++places;
    }
    return places > 0 ? i : -1;
}

} // namespace

int DecimalNumber::compareText(QByteArrayView left, QByteArrayView right)
{
    // A column holds its values with the same places: those compare digit by digit.
    qsizetype leftPlaces = 0;
    qsizetype rightPlaces = 0;
    const qsizetype leftWhole = plainWholeDigits(left, leftPlaces);
    const qsizetype rightWhole = plainWholeDigits(right, rightPlaces);
    if (leftWhole > 0 && rightWhole > 0 && leftPlaces == rightPlaces) {
        if (leftWhole != rightWhole)
            return leftWhole < rightWhole ? -1 : 1;
        const int result = std::memcmp(left.data(), right.data(), size_t(left.size()));
        return result < 0 ? -1 : result > 0 ? 1 : 0;
    }
    const std::optional<DecimalNumber> a = parse(left);
    const std::optional<DecimalNumber> b = parse(right);
    if (a && b)
        return compare(*a, *b);
    if (a || b)
        return a ? -1 : 1;
    const int common = int(qMin(left.size(), right.size()));
    const int result = common > 0 ? std::memcmp(left.data(), right.data(), size_t(common)) : 0;
    if (result != 0)
        return result < 0 ? -1 : 1;
    return left.size() < right.size() ? -1 : left.size() > right.size() ? 1 : 0;
}

} // namespace glimora::engine
