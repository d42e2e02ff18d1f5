#pragma once

#include <optional>
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace glimora::engine {

// An exact decimal of up to 38 digits, as SQL Server's decimal and numeric hold it: an
// integer of digits and a scale. The embedded server keeps these values as text in this
// form ("-12.50"), so nothing passes through binary floating point.
class DecimalNumber
{
public:
    using Digits = __int128;
    static constexpr int MaxPrecision = 38;

    DecimalNumber() = default;
    DecimalNumber(Digits unscaled, int scale);
    static DecimalNumber fromInteger(qint64 value) { return DecimalNumber(value, 0); }
    // Plain notation with optional sign and surrounding blanks ("12", "-0.5", ".25", "3.");
    // nothing when the text is no number or has more than 38 digits before the point.
    // Digits after the point beyond 38 in all are rounded away.
    static std::optional<DecimalNumber> parse(QByteArrayView text);
    static std::optional<DecimalNumber> parse(const QString& text)
    {
        return parse(QByteArrayView(text.toLatin1()));
    }
    // A float as SQL Server converts it, from its 15 significant digits (so 1.555E0 is 1.555).
    static std::optional<DecimalNumber> fromDouble(double value);

    Digits unscaled() const { return m_unscaled; }
    int scale() const { return m_scale; }
    bool isNegative() const { return m_unscaled < 0; }
    // The digits that the integer part needs (0 for a value below 1).
    int integerDigits() const;
    bool fits(int precision, int scale) const { return integerDigits() <= precision - scale; }

    // The same value with `scale` places: rounded half away from zero, or cut toward zero.
    // Nothing when more than 38 digits would be needed.
    std::optional<DecimalNumber> rescaled(int scale, bool truncate = false) const;
    // Rounded or cut at `places` after the point (negative: before it), keeping the scale.
    std::optional<DecimalNumber> roundedAt(int places, bool truncate = false) const;
    // The integer part, cut toward zero; nothing when it needs more than 64 bits.
    std::optional<qint64> toInt64() const;
    double toDouble() const;
    QByteArray toText() const;
    QString toString() const { return QString::fromLatin1(toText()); }

    DecimalNumber negated() const { return DecimalNumber(-m_unscaled, m_scale); }
    DecimalNumber abs() const { return isNegative() ? negated() : *this; }

    // Exact results with the larger scale (the sum of the scales for a product); nothing on
    // overflow of 38 digits.
    static std::optional<DecimalNumber> add(const DecimalNumber& left, const DecimalNumber& right);
    static std::optional<DecimalNumber> subtract(const DecimalNumber& left, const DecimalNumber& right);
    static std::optional<DecimalNumber> multiply(const DecimalNumber& left, const DecimalNumber& right);
    // The quotient with `scale` places, cut toward zero as SQL Server does; nothing on
    // overflow. The divisor must not be zero.
    static std::optional<DecimalNumber> divide(
        const DecimalNumber& left, const DecimalNumber& right, int scale);
    static std::optional<DecimalNumber> remainder(const DecimalNumber& left, const DecimalNumber& right);
    bool isZero() const { return m_unscaled == 0; }

    static int compare(const DecimalNumber& left, const DecimalNumber& right);
    // Orders two texts as numbers where both are decimals, numbers before other texts, and
    // other texts by their bytes: the collation of stored decimals, total for any bytes.
    static int compareText(QByteArrayView left, QByteArrayView right);

private:
    Digits m_unscaled = 0;
    int m_scale = 0;
};

} // namespace glimora::engine
