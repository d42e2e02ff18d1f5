#include "engine/values/DateTimeText.h"

#include <cmath>
#include <QRegularExpression>
#include <QTimeZone>

namespace glimora::engine {

namespace {

bool parseTime(const QString& text, QTime& time)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:[.:](\\d{1,3}))?)?\\s*([AaPp][Mm])?$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    const int second = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    QString fraction = match.captured(4);
    int millisecond = 0;
    if (!fraction.isEmpty()) {
        while (fraction.size() < 3)
            fraction += QLatin1Char('0');
        millisecond = fraction.toInt();
    }
    const QString meridiem = match.captured(5).toLower();
    if (!meridiem.isEmpty()) {
        if (hour < 1 || hour > 12)
            return false;
        if (meridiem == QLatin1String("pm") && hour != 12)
            hour += 12;
        if (meridiem == QLatin1String("am") && hour == 12)
            hour = 0;
    }
    time = QTime(hour, minute, second, millisecond);
    return time.isValid();
}

} // namespace

DateTimeText::ParseResult DateTimeText::parse(const QString& input, QDateTime& result)
{
    const QString text = input.trimmed();
    static const QRegularExpression ymd(
        QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:[ T]+(.*))?$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})(?:[ T]+(.*))?$"));
    static const QRegularExpression mdy(
        QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{2,4})(?:[ T]+(.*))?$"));
    static const QRegularExpression timeOnly(QStringLiteral("^\\d{1,2}:\\d{1,2}.*$"));

    int year = 0;
    int month = 0;
    int day = 0;
    QString timeText;
    QRegularExpressionMatch match;
    if ((match = ymd.match(text)).hasMatch() || (match = compact.match(text)).hasMatch()) {
        year = match.captured(1).toInt();
        month = match.captured(2).toInt();
        day = match.captured(3).toInt();
        timeText = match.captured(4);
    } else if ((match = mdy.match(text)).hasMatch()) {
        month = match.captured(1).toInt();
        day = match.captured(2).toInt();
        year = match.captured(3).toInt();
        if (match.captured(3).size() == 2)
            year += year < 50 ? 2000 : 1900;
        else if (match.captured(3).size() != 4)
            return ParseResult::Invalid;
        timeText = match.captured(4);
    } else if (timeOnly.match(text).hasMatch()) {
        year = 1900;
        month = 1;
        day = 1;
        timeText = text;
    } else {
        return ParseResult::Invalid;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return ParseResult::Invalid;
    QTime time(0, 0);
    if (!timeText.isEmpty() && !parseTime(timeText, time))
        return ParseResult::Invalid;
    if (year < 1753)
        return ParseResult::OutOfRange;
    result = QDateTime(date, time, Qt::UTC);
    return ParseResult::Ok;
}

QString DateTimeText::format(const QDateTime& value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

void DateTimeText::formatMilliseconds(qint64 milliseconds, std::string& text)
{
    constexpr qint64 millisecondsPerDay = 86'400'000;
    // 0001-01-01 and 10000-01-01 in days since 1970.
    constexpr qint64 firstDay = -719'162;
    constexpr qint64 endDay = 2'932'897;
    qint64 days = milliseconds / millisecondsPerDay;
    qint64 rest = milliseconds % millisecondsPerDay;
    if (rest < 0) {
        rest += millisecondsPerDay;
        --days;
    }
    if (days < firstDay || days >= endDay) {
        text = format(QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC)).toStdString();
        return;
    }
    // The civil date of a day count, proleptic Gregorian (after Howard Hinnant's days_from_civil).
    const qint64 shifted = days + 719'468;
    const qint64 era = shifted / 146'097;
    const qint64 dayOfEra = shifted - era * 146'097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const int year = int(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    char buffer[24];
    auto put = [&buffer](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i) {
            buffer[at + i] = char('0' + value % 10);
            value /= 10;
        }
    };
    put(0, year, 4);
    buffer[4] = '-';
    put(5, month, 2);
    buffer[7] = '-';
    put(8, day, 2);
    buffer[10] = ' ';
    put(11, int(rest / 3'600'000), 2);
    buffer[13] = ':';
    put(14, int(rest / 60'000 % 60), 2);
    buffer[16] = ':';
    put(17, int(rest / 1000 % 60), 2);
    buffer[19] = '.';
    put(20, int(rest % 1000), 3);
    text.assign(buffer, 23);
}

bool DateTimeText::fromStored(const QString& text, QDateTime& result)
{
    if (text.size() == 23 && text[4] == QLatin1Char('-') && text[10] == QLatin1Char(' ')) {
        const QDate date(text.mid(0, 4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
        const QTime time(text.mid(11, 2).toInt(), text.mid(14, 2).toInt(), text.mid(17, 2).toInt(),
            text.mid(20, 3).toInt());
        result = QDateTime(date, time, Qt::UTC);
        return date.isValid() && time.isValid();
    }
    return parse(text, result) == ParseResult::Ok;
}

bool DateTimeText::splitStoredUtf8(const char* text, int size, StoredParts& parts)
{
    if (size != 23 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':'
        || text[16] != ':' || text[19] != '.')
        return false;
    bool digits = true;
    auto number = [text, &digits](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            if (text[i] < '0' || text[i] > '9')
                digits = false;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    parts = { number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2),
        number(20, 3) };
    return digits;
}

bool DateTimeText::fromStoredUtf8(const char* text, int size, QDateTime& result)
{
    StoredParts parts {};
    if (splitStoredUtf8(text, size, parts)) {
        const QDate date(parts.year, parts.month, parts.day);
        const QTime time(parts.hour, parts.minute, parts.second, parts.millisecond);
        if (date.isValid() && time.isValid()) {
            result = QDateTime(date, time, Qt::UTC);
            return true;
        }
    }
    return fromStored(QString::fromUtf8(text, size), result);
}

int DateTimeText::roundedMillisecond(int millisecond)
{
    // 3 ticks per 10 ms, halves up; a tick reads back as its nearest millisecond.
    const int ticks = (millisecond * 3 + 5) / 10;
    return (ticks * 20 + 3) / 6;
}

qint64 DateTimeText::roundedToTicks(qint64 millisecondsSinceEpoch)
{
    const int millisecond = int((millisecondsSinceEpoch % 1000 + 1000) % 1000);
    return millisecondsSinceEpoch + (roundedMillisecond(millisecond) - millisecond);
}

QDateTime DateTimeText::roundedToTicks(const QDateTime& value)
{
    const int millisecond = value.time().msec();
    return value.addMSecs(roundedMillisecond(millisecond) - millisecond);
}

QDateTime DateTimeText::fromDays(double days)
{
    const double whole = std::floor(days);
    const qint64 ticks = qint64(std::llround((days - whole) * 25'920'000.0));
    return QDateTime(QDate(1900, 1, 1).addDays(qint64(whole)), QTime(0, 0), Qt::UTC)
        .addMSecs((ticks * 20 + 3) / 6);
}

QString DateTimeText::formatStyle(const QDateTime& value, int style)
{
    switch (style) {
    case 1:
    case 101:
        return value.toString(style == 1 ? QStringLiteral("MM/dd/yy") : QStringLiteral("MM/dd/yyyy"));
    case 2:
    case 102:
        return value.toString(style == 2 ? QStringLiteral("yy.MM.dd") : QStringLiteral("yyyy.MM.dd"));
    case 11:
    case 111:
        return value.toString(style == 11 ? QStringLiteral("yy/MM/dd") : QStringLiteral("yyyy/MM/dd"));
    case 12:
    case 112:
        return value.toString(style == 12 ? QStringLiteral("yyMMdd") : QStringLiteral("yyyyMMdd"));
    case 8:
    case 108:
        return value.toString(QStringLiteral("HH:mm:ss"));
    case 20:
    case 120:
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case 21:
    case 121:
        return format(value);
    case 23:
        return value.toString(QStringLiteral("yyyy-MM-dd"));
    case 126:
        return value.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    default: {
        // Style 0: "Dec 31 2012 12:00AM"
        static const char* const months[]
            = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
        const QDate date = value.date();
        const QTime time = value.time();
        int hour = time.hour() % 12;
        if (hour == 0)
            hour = 12;
        return QStringLiteral("%1 %2 %3 %4:%5%6")
            .arg(QLatin1String(months[date.month() - 1]))
            .arg(date.day(), 2)
            .arg(date.year())
            .arg(hour, 2)
            .arg(time.minute(), 2, 10, QLatin1Char('0'))
            .arg(time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
    }
    }
}

} // namespace glimora::engine
