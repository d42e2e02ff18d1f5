#pragma once

#include <QString>
#include <QtGlobal>

namespace glimora::data {

// An exact decimal number of up to 18 digits: unscaledValue / 10^scale.
struct Decimal
{
    qint64 unscaledValue = 0;
    int scale = 0;

    double toDouble() const;
    // Plain notation with exactly `scale` places, for example "-12.50".
    QString toString() const;
    // Parses plain decimal notation ("12", "-0.5", "3.140"); returns false when the text
    // is not a number or needs more than 18 digits.
    static bool parse(const QString& text, Decimal& result);

    friend bool operator==(const Decimal&, const Decimal&) = default;
};

} // namespace glimora::data
