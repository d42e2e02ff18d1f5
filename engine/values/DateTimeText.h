#pragma once

#include <QDateTime>
#include <QString>
#include <string>

namespace glimora::engine {

// Values are wall-clock times carried with the UTC spec, as the ODBC backend carries them,
// so that no time-zone rule shifts them.
// Dates and times as the engine stores them: text "yyyy-MM-dd HH:mm:ss.zzz", which
// sorts and compares by time. Reads the literal forms that SQL Server accepts.
class DateTimeText
{
public:
    enum class ParseResult { Ok, Invalid, OutOfRange };

    // '2012-12-31', '2012/12/31', '20121231', '12/31/2012', 'yyyy-mm-ddThh:mm:ss',
    // each with or without a time ('13:05', '13:05:10', '13:05:10.123', '1:05PM').
    static ParseResult parse(const QString& text, QDateTime& result);
    static QString format(const QDateTime& value);
    // The same for a time in milliseconds since 1970 (counted as UTC), as UTF-8 into text,
    // without building a date first (workbook imports).
    static void formatMilliseconds(qint64 milliseconds, std::string& text);
    static bool fromStored(const QString& text, QDateTime& result);
    // The same from SQLite's UTF-8 bytes, without building a string first (result sets).
    static bool fromStoredUtf8(const char* text, int size, QDateTime& result);
    // The year .. millisecond of UTF-8 in exactly the stored form, unchecked beyond its
    // digits and separators; false for any other text.
    struct StoredParts
    {
        int year, month, day, hour, minute, second, millisecond;
    };
    static bool splitStoredUtf8(const char* text, int size, StoredParts& parts);
    // SQL Server keeps a datetime in ticks of 1/300 second: a time rounds to the nearest
    // tick, whose milliseconds end in 0, 3 or 7, and .999 is the next second.
    static QDateTime roundedToTicks(const QDateTime& value);
    static qint64 roundedToTicks(qint64 millisecondsSinceEpoch);
    static bool isTick(int millisecond) { return roundedMillisecond(millisecond) == millisecond; }
    // SQL Server counts datetime numbers in days from 1900-01-01.
    static QDateTime fromDays(double days);
    // The CONVERT styles that SQL Server offers for dates: 0, 100, 101, 102, 111, 112, 120, 121, 23, 108.
    static QString formatStyle(const QDateTime& value, int style);

private:
    // 0 .. 1000 for a millisecond 0 .. 999 of a second.
    static int roundedMillisecond(int millisecond);
};

} // namespace glimora::engine
