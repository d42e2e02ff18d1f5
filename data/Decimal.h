#pragma once

#include <QString>
#include <QtGlobal>

namespace glimora::data {

// An exact decimal number of up to 38 digits, as SQL Server holds one: unscaledValue / 10^scale.
struct Decimal
{
    using Digits = __int128;
    static constexpr int MaximumDigits = 38;

    Digits unscaledValue = 0;
    int scale = 0;

    double toDouble() const;
    // Plain notation with exactly `scale` places, for example "-12.50".
    QString toString() const;
    // Parses plain decimal notation ("12", "-0.5", "3.140"); returns false when the text
    // is not a number or needs more than 38 digits.
    static bool parse(const QString& text, Decimal& result);
    // Whether the value fits decimal(precision, scale) without losing a digit.
    bool fits(int precision, int columnScale) const;

    friend bool operator==(const Decimal&, const Decimal&) = default;
};

} // namespace glimora::data
