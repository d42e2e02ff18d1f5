#include "engine/workbook/ExcelDate.h"

#include <cmath>

namespace glimora::engine::ExcelDate {

namespace {

constexpr qint64 millisecondsPerDay = 86'400'000;
// The last day Excel can show, 9999-12-31, in the 1900 system.
constexpr double lastSerial = 2'958'466.0;

} // namespace

QDateTime fromSerial(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0.0 || serial >= lastSerial)
        return {};
    const qint64 totalMilliseconds = std::llround(serial * double(millisecondsPerDay));
    qint64 days = totalMilliseconds / millisecondsPerDay;
    const qint64 milliseconds = totalMilliseconds % millisecondsPerDay;

    QDate epoch;
    if (date1904) {
        epoch = QDate(1904, 1, 1);
    } else {
        epoch = QDate(1899, 12, 30);
        if (days >= 1 && days < 60)
            days += 1;
    }
    const QDate date = epoch.addDays(days);
    if (!date.isValid() || date.year() > 9999)
        return {};
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(milliseconds)), Qt::UTC);
}

} // namespace glimora::engine::ExcelDate
