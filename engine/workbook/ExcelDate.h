#pragma once

#include <QDateTime>

namespace glimora::engine::ExcelDate {

// The date-time that a workbook's serial day number stands for. In the 1900 system Excel
// counts a 29 February 1900 that never was, so serials before 60 lie one day later than a
// plain count from 1899-12-30 gives; serials below 1 are times of day. Returns an invalid
// QDateTime for a serial outside 0001-01-01 .. 9999-12-31.
// Workbook dates carry no time zone: they come as wall-clock times in Qt::UTC, like the
// data layer's, which also keeps them clear of daylight-saving gaps.
QDateTime fromSerial(double serial, bool date1904);

} // namespace glimora::engine::ExcelDate
