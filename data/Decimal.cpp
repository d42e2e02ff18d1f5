#include "data/Decimal.h"

namespace glimora::data {

namespace {
constexpr int MaximumDigits = 18;
}

double Decimal::toDouble() const
{
    // Going through the text keeps the conversion correctly rounded for every scale; Qt reads
    // it in the C locale whatever the desktop's decimal mark.
    return toString().toDouble();
}

QString Decimal::toString() const
{
    const bool negative = unscaledValue < 0;
    // The magnitude as unsigned text: avoids overflow on the most negative value.
    const quint64 magnitude = negative ? quint64(0) - quint64(unscaledValue) : quint64(unscaledValue);
    QString digits = QString::number(magnitude);
    if (scale > 0) {
        if (digits.size() <= scale)
            digits.prepend(QString(scale - digits.size() + 1, QLatin1Char('0')));
        digits.insert(digits.size() - scale, QLatin1Char('.'));
    }
    if (negative)
        digits.prepend(QLatin1Char('-'));
    return digits;
}

bool Decimal::parse(const QString& text, Decimal& result)
{
    int position = 0;
    bool negative = false;
    if (position < text.size()
        && (text[position] == QLatin1Char('-') || text[position] == QLatin1Char('+'))) {
        negative = text[position] == QLatin1Char('-');
        ++position;
    }
    qint64 unscaled = 0;
    int significantDigits = 0;
    int digitCount = 0;
    int scale = 0;
    bool afterPoint = false;
    for (; position < text.size(); ++position) {
        const QChar c = text[position];
        if (c == QLatin1Char('.') && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        ++digitCount;
        if (afterPoint)
            ++scale;
        if (unscaled == 0 && c == QLatin1Char('0') && !afterPoint)
            continue; // leading zeros of the integer part do not count
        if (unscaled != 0 || c != QLatin1Char('0') || afterPoint)
            ++significantDigits;
        if (significantDigits > MaximumDigits || scale > MaximumDigits)
            return false;
        unscaled = unscaled * 10 + (c.unicode() - '0');
    }
    if (digitCount == 0)
        return false;
    result.unscaledValue = negative ? -unscaled : unscaled;
    result.scale = scale;
    return true;
}

} // namespace glimora::data
