#include "data/Decimal.h"

namespace glimora::data {

double Decimal::toDouble() const
{
    // Going through the text keeps the conversion correctly rounded for every scale; Qt reads
    // it in the C locale whatever the desktop's decimal mark.
    return toString().toDouble();
}

QString Decimal::toString() const
{
    const bool negative = unscaledValue < 0;
    // The magnitude as unsigned: avoids overflow on the most negative value.
    unsigned __int128 magnitude
        = negative ? 0 - (unsigned __int128)(unscaledValue) : (unsigned __int128)(unscaledValue);
    QString digits;
    do {
        digits.prepend(QLatin1Char(char('0' + int(magnitude % 10))));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        if (digits.size() <= scale)
            digits.prepend(QString(scale - digits.size() + 1, QLatin1Char('0')));
        digits.insert(digits.size() - scale, QLatin1Char('.'));
    }
    if (negative)
        digits.prepend(QLatin1Char('-'));
    return digits;
}

bool Decimal::fits(int precision, int columnScale) const
{
    // Places beyond the column's would be rounded by the server: not an exact fit.
    Digits value = unscaledValue < 0 ? -unscaledValue : unscaledValue;
    int places = scale;
    while (places > columnScale) {
        if (value % 10 != 0)
            return false;
        value /= 10;
        --places;
    }
    int integerDigits = 0;
    for (int i = 0; i < places; ++i)
        value /= 10;
    for (; value != 0; value /= 10)
        ++integerDigits;
    return integerDigits <= precision - columnScale;
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
    Digits unscaled = 0;
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
