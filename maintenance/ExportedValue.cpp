#include "maintenance/ExportedValue.h"

#include <charconv>

namespace glimora::maintenance::ExportedValue {

namespace {

void appendInteger(QByteArray& out, qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

void appendDouble(QByteArray& out, double value)
{
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

void appendPadded(QByteArray& out, int value, int width)
{
    char digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(digits, width);
}

} // namespace

void appendDateTime(QByteArray& out, const QDateTime& value)
{
    const QDate date = value.date();
    const QTime time = value.time();
    appendPadded(out, date.year(), 4);
    out.append('-');
    appendPadded(out, date.month(), 2);
    out.append('-');
    appendPadded(out, date.day(), 2);
    out.append(' ');
    appendPadded(out, time.hour(), 2);
    out.append(':');
    appendPadded(out, time.minute(), 2);
    out.append(':');
    appendPadded(out, time.second(), 2);
    if (time.msec() != 0) {
        out.append('.');
        appendPadded(out, time.msec(), 3);
    }
}

void append(QByteArray& out, const data::Variant& value)
{
    using Kind = data::Variant::Kind;
    switch (value.kind()) {
    case Kind::Empty:
    case Kind::Null:
    case Kind::Bytes:
        return;
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64:
        appendInteger(out, value.toInt64());
        return;
    case Kind::Boolean:
        out.append(value.toBoolean() ? '1' : '0');
        return;
    case Kind::Single:
    case Kind::Double:
        appendDouble(out, value.toDouble());
        return;
    case Kind::Decimal:
        out.append(value.toDecimal().toString().toLatin1());
        return;
    case Kind::DateTime:
        appendDateTime(out, value.toDateTime());
        return;
    case Kind::String:
        out.append(value.toString().toUtf8());
        return;
    }
}

} // namespace glimora::maintenance::ExportedValue
