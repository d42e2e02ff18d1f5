#include "engine/tds/TdsRpc.h"

#include "data/Decimal.h"
#include "engine/tds/TdsBytes.h"

#include <cstring>
#include <QDateTime>
#include <QStringDecoder>

namespace glimora::engine::tds {

namespace {

// sp_executesql and its siblings by the numbers that stand for their names.
QString procedureOf(quint16 id)
{
    switch (id) {
    case 10:
        return QStringLiteral("sp_executesql");
    case 11:
        return QStringLiteral("sp_prepare");
    case 12:
        return QStringLiteral("sp_execute");
    case 13:
        return QStringLiteral("sp_prepexec");
    case 15:
        return QStringLiteral("sp_unprepare");
    default:
        return QStringLiteral("#%1").arg(id);
    }
}

QString quoted(const QString& text, bool national)
{
    QString out = national ? QStringLiteral("N'") : QStringLiteral("'");
    out += QString(text).replace(u'\'', QStringLiteral("''"));
    return out + u'\'';
}

QString decodeVarchar(const QByteArray& bytes, const QByteArray& collation)
{
    const quint32 info = collation.size() >= 4
        ? quint32(quint8(collation[0])) | (quint32(quint8(collation[1])) << 8)
            | (quint32(quint8(collation[2])) << 16) | (quint32(quint8(collation[3])) << 24)
        : 0;
    const quint32 lcid = info & 0xFFFFF;
    const bool utf8 = (info >> 20) & 0x40; // fUTF8 among the collation's flags
    if (utf8)
        return QString::fromUtf8(bytes);
    if (lcid == 0x0804 || lcid == 0x1004) {
        QStringDecoder gbk("GBK");
        if (gbk.isValid())
            return gbk(bytes);
    }
    return QString::fromLatin1(bytes);
}

QString dateText(qint64 daysSince1900)
{
    return QDate(1900, 1, 1).addDays(daysSince1900).toString(QStringLiteral("yyyy-MM-dd"));
}

QString timeText(qint64 ms)
{
    return QTime::fromMSecsSinceStartOfDay(int(ms % 86400000)).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString decimalText(bool positive, const QByteArray& magnitude, int scale)
{
    data::Decimal value;
    for (qsizetype i = magnitude.size() - 1; i >= 0; --i)
        value.unscaledValue = (value.unscaledValue << 8) | quint8(magnitude[i]);
    if (!positive)
        value.unscaledValue = -value.unscaledValue;
    value.scale = scale;
    return value.toString();
}

qint64 littleSigned(const QByteArray& bytes)
{
    quint64 value = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        value |= quint64(quint8(bytes[i])) << (8 * i);
    const int bits = int(bytes.size()) * 8;
    if (bits < 64 && (value >> (bits - 1)) & 1)
        value |= ~quint64(0) << bits;
    return qint64(value);
}

// The value of a fixed or byte-length type: integers, bit, floats, money, datetime.
std::optional<QString> scalarLiteral(quint8 type, const QByteArray& value)
{
    switch (type) {
    case 0x30: // tinyint
        return QString::number(quint8(value[0]));
    case 0x26:
    case 0x34:
    case 0x38:
    case 0x7F:
        if (value.size() == 1)
            return QString::number(quint8(value[0]));
        return QString::number(littleSigned(value));
    case 0x32:
    case 0x68:
        return QString::number(value[0] != 0 ? 1 : 0);
    case 0x3B:
    case 0x3E:
    case 0x6D:
        if (value.size() == 4) {
            float number;
            std::memcpy(&number, value.constData(), 4);
            return QString::number(double(number), 'g', 9);
        } else {
            double number;
            std::memcpy(&number, value.constData(), 8);
            return QString::number(number, 'g', 17);
        }
    case 0x3C:
    case 0x7A:
    case 0x6E: {
        qint64 units = value.size() == 4 ? littleSigned(value)
                                         : qint64((quint64(quint32(littleSigned(value.left(4)))) << 32)
                                             | quint32(littleSigned(value.mid(4))));
        return data::Decimal { units, 4 }.toString();
    }
    case 0x3D:
    case 0x3A:
    case 0x6F:
        if (value.size() == 4) {
            const qint64 days = quint16(littleSigned(value.left(2)));
            const qint64 minutes = quint16(littleSigned(value.mid(2)));
            return u'\'' + dateText(days) + u' ' + timeText(minutes * 60000) + u'\'';
        } else {
            const qint64 days = qint32(littleSigned(value.left(4)));
            const qint64 ticks = quint32(littleSigned(value.mid(4)));
            return u'\'' + dateText(days) + u' ' + timeText((ticks * 10 + 1) / 3) + u'\'';
        }
    default:
        return std::nullopt;
    }
}

int fixedSize(quint8 type)
{
    switch (type) {
    case 0x1F:
        return 0;
    case 0x30:
    case 0x32:
        return 1;
    case 0x34:
        return 2;
    case 0x38:
    case 0x3B:
    case 0x7A:
    case 0x3A:
        return 4;
    case 0x7F:
    case 0x3E:
    case 0x3C:
    case 0x3D:
        return 8;
    default:
        return -1;
    }
}

// 10^-scale units of a time of day in `bytes` little-endian bytes, as milliseconds.
qint64 timeMs(const QByteArray& bytes, int scale)
{
    quint64 units = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        units |= quint64(quint8(bytes[i])) << (8 * i);
    for (int s = scale; s > 3; --s)
        units /= 10;
    for (int s = scale; s < 3; ++s)
        units *= 10;
    return qint64(units);
}

QString daysText(const QByteArray& bytes)
{
    const qint64 days = qint64(quint32(littleSigned(bytes)) & 0xFFFFFF);
    return QDate(1, 1, 1).addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
}

bool readParameter(TdsReader& reader, RpcParameter& parameter, QString* why)
{
    auto fail = [&](const QString& text) {
        if (why)
            *why = text;
        return false;
    };
    parameter.name = reader.bVarchar();
    parameter.output = (reader.u8() & 0x01) != 0;
    const quint8 type = reader.u8();
    if (!reader.ok())
        return fail(QStringLiteral("RPC parameter cut short"));
    auto setNull = [&] {
        parameter.isNull = true;
        parameter.literal = QStringLiteral("NULL");
        return true;
    };

    if (const int size = fixedSize(type); size >= 0) {
        if (size == 0)
            return setNull();
        const QByteArray value = reader.bytes(size);
        if (!reader.ok())
            return fail(QStringLiteral("RPC parameter cut short"));
        parameter.literal = *scalarLiteral(type, value);
        return true;
    }
    switch (type) {
    case 0x26:
    case 0x68:
    case 0x6D:
    case 0x6E:
    case 0x6F:
    case 0x24: {
        const quint8 maximum = reader.u8();
        const quint8 length = reader.u8();
        const QByteArray value = reader.bytes(length);
        if (!reader.ok() || length > maximum || length > 16)
            return fail(QStringLiteral("RPC parameter of type %1 malformed").arg(type));
        if (length == 0)
            return setNull();
        if (type == 0x24) {
            parameter.literal = u'\'' + QString::fromLatin1(value.toHex()) + u'\'';
            return true;
        }
        const std::optional<QString> literal = scalarLiteral(type, value);
        if (!literal || (type == 0x26 && length != 1 && length != 2 && length != 4 && length != 8)
            || ((type == 0x6D || type == 0x6E || type == 0x6F) && length != 4 && length != 8))
            return fail(QStringLiteral("RPC parameter of type %1 malformed").arg(type));
        parameter.literal = *literal;
        return true;
    }
    case 0x6A:
    case 0x6C: {
        reader.u8(); // largest length
        reader.u8(); // precision
        const quint8 scale = reader.u8();
        const quint8 length = reader.u8();
        if (!reader.ok() || scale > 38 || length > 17)
            return fail(QStringLiteral("RPC decimal parameter malformed"));
        if (length == 0)
            return setNull();
        const bool positive = reader.u8() != 0;
        const QByteArray magnitude = reader.bytes(length - 1);
        if (!reader.ok())
            return fail(QStringLiteral("RPC decimal parameter cut short"));
        parameter.literal = decimalText(positive, magnitude, scale);
        return true;
    }
    case 0x28:
    case 0x29:
    case 0x2A:
    case 0x2B: {
        const int scale = type == 0x28 ? 0 : reader.u8();
        const quint8 length = reader.u8();
        if (!reader.ok() || scale > 7 || length > 10)
            return fail(QStringLiteral("RPC date parameter malformed"));
        if (length == 0)
            return setNull();
        const QByteArray value = reader.bytes(length);
        if (!reader.ok())
            return fail(QStringLiteral("RPC date parameter cut short"));
        const int timeBytes = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
        if (type == 0x28)
            parameter.literal = u'\'' + daysText(value.left(3)) + u'\'';
        else if (type == 0x29)
            parameter.literal = u'\'' + timeText(timeMs(value.left(timeBytes), scale)) + u'\'';
        else
            parameter.literal = u'\'' + daysText(value.mid(timeBytes, 3)) + u' '
                + timeText(timeMs(value.left(timeBytes), scale)) + u'\'';
        return true;
    }
    case 0xA7:
    case 0xAF:
    case 0xE7:
    case 0xEF:
    case 0xA5:
    case 0xAD:
    case 0x23:
    case 0x63:
    case 0x22: {
        const bool longType = type == 0x23 || type == 0x63 || type == 0x22;
        const quint32 maximum = longType ? reader.u32() : reader.u16();
        const bool binary = type == 0xA5 || type == 0xAD || type == 0x22;
        const bool national = type == 0xE7 || type == 0xEF || type == 0x63;
        const QByteArray collation = binary ? QByteArray() : reader.bytes(5);
        QByteArray value;
        bool isNull = false;
        if (longType) {
            const quint32 length = reader.u32();
            isNull = length == 0xFFFFFFFF;
            if (!isNull)
                value = reader.bytes(qsizetype(length));
        } else if (maximum == 0xFFFF) {
            const quint64 total = reader.u64();
            isNull = total == ~quint64(0);
            for (quint32 chunk = isNull ? 0 : reader.u32(); chunk != 0 && reader.ok(); chunk = reader.u32()) {
                value += reader.bytes(qsizetype(chunk));
            }
        } else {
            const quint16 length = reader.u16();
            isNull = length == 0xFFFF;
            if (!isNull)
                value = reader.bytes(length);
        }
        if (!reader.ok())
            return fail(QStringLiteral("RPC parameter of type %1 cut short").arg(type));
        if (isNull)
            return setNull();
        if (binary) {
            parameter.literal = QStringLiteral("0x") + QString::fromLatin1(value.toHex());
            return true;
        }
        parameter.text = national
            ? QString(reinterpret_cast<const QChar*>(value.constData()), value.size() / 2)
            : decodeVarchar(value, collation);
        parameter.literal = quoted(parameter.text, national);
        return true;
    }
    default:
        return fail(QStringLiteral("RPC parameter of type %1 is not served").arg(type));
    }
}

// The parameter declarations of sp_executesql ("@a int, @b decimal(18,2) output"), split at
// the commas outside brackets.
QStringList declarations(const QString& text)
{
    QStringList parts;
    int depth = 0;
    QString current;
    for (const QChar c : text) {
        if (c == u'(')
            ++depth;
        else if (c == u')')
            --depth;
        if (c == u',' && depth == 0) {
            parts.append(current.trimmed());
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.trimmed().isEmpty())
        parts.append(current.trimmed());
    return parts;
}

} // namespace

std::optional<RpcRequest> parseRpc(const QByteArray& payload, QString* why)
{
    TdsReader reader(payload);
    const quint32 headers = reader.u32();
    if (!reader.ok() || headers < 4 || headers > quint32(payload.size())) {
        if (why)
            *why = QStringLiteral("RPC headers malformed");
        return std::nullopt;
    }
    reader.bytes(headers - 4);
    RpcRequest request;
    const quint16 nameLength = reader.u16();
    if (nameLength == 0xFFFF) {
        request.procedure = procedureOf(reader.u16());
    } else {
        request.procedure = reader.ucs2(nameLength).toLower();
        for (const char* prefix : { "sys.", "dbo.", "master..", "master.dbo." })
            if (request.procedure.startsWith(QLatin1String(prefix)))
                request.procedure = request.procedure.mid(qsizetype(std::strlen(prefix)));
    }
    reader.u16(); // option flags
    if (!reader.ok()) {
        if (why)
            *why = QStringLiteral("RPC request cut short");
        return std::nullopt;
    }
    while (!reader.atEnd()) {
        // Another request of the same message follows the batch flag; the first is served.
        const quint8 next = quint8(payload[reader.position()]);
        if (next == 0xFF || next == 0x80 || next == 0xFE)
            break;
        RpcParameter parameter;
        if (!readParameter(reader, parameter, why))
            return std::nullopt;
        request.parameters.append(parameter);
    }
    return request;
}

std::optional<QString> executeSqlBatch(const RpcRequest& request, QString* why)
{
    if (request.parameters.isEmpty() || request.parameters[0].isNull) {
        if (why)
            *why = QStringLiteral("Procedure or function 'sp_executesql' expects parameter '@statement', "
                                  "which was not supplied.");
        return std::nullopt;
    }
    if (request.parameters.size() < 2)
        return request.parameters[0].text;
    return parameterBatch(
        request.parameters[0].text, request.parameters[1].text, request.parameters.mid(2), why);
}

std::optional<QString> parameterBatch(
    const QString& statement, const QString& definitions, const QList<RpcParameter>& values, QString* why)
{
    QString batch;
    const QStringList declared = declarations(definitions);
    for (qsizetype i = 0; i < declared.size(); ++i) {
        QString declaration = declared[i];
        const qsizetype space = declaration.indexOf(u' ');
        if (!declaration.startsWith(u'@') || space < 0) {
            if (why)
                *why = QStringLiteral("Incorrect syntax near '%1'.").arg(declaration);
            return std::nullopt;
        }
        const QString name = declaration.left(space);
        QString type = declaration.mid(space + 1).trimmed();
        for (const QLatin1String suffix : { QLatin1String(" output"), QLatin1String(" out") })
            if (type.endsWith(suffix, Qt::CaseInsensitive))
                type.chop(suffix.size());
        QString literal = QStringLiteral("NULL");
        bool found = false;
        for (const RpcParameter& value : values) {
            if (value.name.compare(name, Qt::CaseInsensitive) == 0) {
                literal = value.literal;
                found = true;
            }
        }
        if (!found && i < values.size() && values[i].name.isEmpty())
            literal = values[i].literal;
        batch += QStringLiteral("declare %1 %2 set %1 = %3 ").arg(name, type, literal);
    }
    return batch + statement;
}

} // namespace glimora::engine::tds
