#include "engine/workbook/BiffReader.h"

#include "engine/workbook/BiffRecordCursor.h"
#include "engine/workbook/CellMessage.h"
#include "engine/workbook/CellMessageWriter.h"
#include "engine/workbook/ExcelDate.h"
#include "engine/workbook/NumberFormat.h"

#include <cmath>
#include <cstring>

namespace glimora::engine {

namespace {

namespace RecordType {
constexpr quint16 bof = 0x0809;
constexpr quint16 eof = 0x000a;
constexpr quint16 continueRecord = 0x003c;
constexpr quint16 filePass = 0x002f;
constexpr quint16 codePage = 0x0042;
constexpr quint16 dateMode = 0x0022;
constexpr quint16 boundSheet = 0x0085;
constexpr quint16 sst = 0x00fc;
constexpr quint16 format = 0x041e;
constexpr quint16 xf = 0x00e0;
constexpr quint16 label = 0x0204;
constexpr quint16 labelSst = 0x00fd;
constexpr quint16 rstring = 0x00d6;
constexpr quint16 number = 0x0203;
constexpr quint16 rk = 0x027e;
constexpr quint16 mulRk = 0x00bd;
constexpr quint16 boolErr = 0x0205;
constexpr quint16 formula = 0x0006;
constexpr quint16 string = 0x0207;
} // namespace RecordType

constexpr quint16 worksheetType = 0x0010;

[[noreturn]] void damaged(const char* detail)
{
    throw BiffReader::Failure(CellMessage::damaged, detail);
}

quint16 read16(QByteArrayView bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | (quint8(bytes[at + 1]) << 8));
}

quint32 read32(QByteArrayView bytes, qsizetype at)
{
    return quint32(read16(bytes, at)) | (quint32(read16(bytes, at + 2)) << 16);
}

double readDouble(QByteArrayView bytes, qsizetype at)
{
    const quint64 bits = quint64(read32(bytes, at)) | (quint64(read32(bytes, at + 4)) << 32);
    double value;
    std::memcpy(&value, &bits, 8);
    return value;
}

// An RK number: a double's top 30 bits or a 30-bit integer, either possibly divided by 100.
double rkValue(quint32 rk)
{
    double value;
    if ((rk & 0x02) != 0) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xfffffffc) << 32;
        std::memcpy(&value, &bits, 8);
    }
    return (rk & 0x01) != 0 ? value / 100.0 : value;
}

// The character set a BIFF5 workbook's CODEPAGE record names.
QByteArray codePageName(quint16 codePage)
{
    switch (codePage) {
    case 367:
        return "US-ASCII";
    case 932:
        return "Shift_JIS";
    case 936:
        return "GBK";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    case 10000:
    case 32768:
        return "macintosh";
    case 32769:
        return "windows-1252";
    default:
        if (codePage >= 1250 && codePage <= 1258)
            return "windows-" + QByteArray::number(codePage);
        if (codePage == 437 || codePage == 850 || codePage == 852 || codePage == 855 || codePage == 857
            || codePage == 860 || codePage == 861 || codePage == 862 || codePage == 863 || codePage == 864
            || codePage == 865 || codePage == 866 || codePage == 869 || codePage == 874)
            return "IBM" + QByteArray::number(codePage);
        return "windows-1252";
    }
}

} // namespace

BiffReader::BiffReader(QByteArrayView stream)
    : m_stream(stream)
    , m_codePage("windows-1252")
{
}

BiffReader::Record BiffReader::recordAt(qsizetype offset) const
{
    if (offset < 0 || offset + 4 > m_stream.size())
        damaged("a record lies beyond the end of the workbook stream");
    const Record record { read16(m_stream, offset), offset + 4, read16(m_stream, offset + 2) };
    if (record.start + record.length > m_stream.size())
        damaged("a record runs past the end of the workbook stream");
    return record;
}

QByteArrayView BiffReader::payload(const Record& record) const
{
    return m_stream.sliced(record.start, record.length);
}

BiffRecordCursor BiffReader::continued(const Record& record, qsizetype& next) const
{
    QList<QByteArrayView> segments { payload(record) };
    next = record.start + record.length;
    while (next + 4 <= m_stream.size() && read16(m_stream, next) == RecordType::continueRecord) {
        const Record continuation = recordAt(next);
        segments.append(payload(continuation));
        next = continuation.start + continuation.length;
    }
    return BiffRecordCursor(std::move(segments));
}

QString BiffReader::codePageText(BiffRecordCursor& cursor, quint32 count)
{
    const QByteArray bytes = cursor.bytes(count);
    QString text = m_codePage.decode(bytes);
    m_codePage.resetState();
    return text;
}

QString BiffReader::recordText(BiffRecordCursor& cursor, bool shortLength)
{
    if (m_biff8)
        return cursor.text(shortLength ? 1 : 2);
    return codePageText(cursor, shortLength ? cursor.u8() : cursor.u16());
}

void BiffReader::readGlobals()
{
    const Record bof = recordAt(0);
    if (bof.type != RecordType::bof || bof.length < 4)
        damaged("the workbook stream does not begin with BOF");
    const quint16 version = read16(payload(bof), 0);
    if (version == 0x0500)
        m_biff8 = false;
    else if (version != 0x0600)
        throw Failure(CellMessage::notAWorkbook, "an Excel version before Excel 5");
    if (m_biff8)
        m_codePage = QStringDecoder(QStringDecoder::Latin1);

    qsizetype offset = bof.start + bof.length;
    for (;;) {
        if (offset >= m_stream.size())
            damaged("the workbook globals have no end");
        const Record record = recordAt(offset);
        offset = record.start + record.length;
        const QByteArrayView data = payload(record);
        try {
            switch (record.type) {
            case RecordType::eof:
                return;
            case RecordType::filePass:
                throw Failure(CellMessage::passwordProtected, "");
            case RecordType::codePage:
                if (!m_biff8 && data.size() >= 2) {
                    QStringDecoder decoder(codePageName(read16(data, 0)).constData());
                    if (decoder.isValid())
                        m_codePage = std::move(decoder);
                }
                break;
            case RecordType::dateMode:
                m_date1904 = data.size() >= 2 && read16(data, 0) == 1;
                break;
            case RecordType::boundSheet: {
                if (data.size() < 6)
                    damaged("a short sheet entry");
                BiffRecordCursor cursor({ data });
                Sheet sheet;
                sheet.offset = cursor.u32();
                cursor.u8(); // visibility: hidden sheets read all the same
                const quint8 kind = cursor.u8();
                sheet.name = recordText(cursor, true);
                if (kind == 0) // charts, macro and module sheets hold no table
                    m_sheets.append(sheet);
                break;
            }
            case RecordType::format: {
                qsizetype next = 0;
                BiffRecordCursor cursor = continued(record, next);
                const quint16 id = cursor.u16();
                m_formats.insert(id, recordText(cursor, !m_biff8));
                break;
            }
            case RecordType::xf:
                if (data.size() < 4)
                    damaged("a short cell format");
                m_xfFormats.append(read16(data, 2));
                break;
            case RecordType::sst: {
                BiffRecordCursor cursor = continued(record, offset);
                cursor.u32(); // total references
                const quint32 count = cursor.u32();
                // Each text takes at least three bytes: a count beyond that is not believed.
                m_sharedStrings.reserve(std::min<qsizetype>(count, cursor.remaining() / 3));
                for (quint32 i = 0; i < count && cursor.remaining() > 0; ++i)
                    m_sharedStrings.append(cursor.text().toUtf8());
                break;
            }
            default:
                break;
            }
        } catch (const BiffRecordCursor::Overrun&) {
            damaged("a record of the workbook globals ends early");
        }
    }
}

bool BiffReader::isDateFormat(quint16 xf) const
{
    return xf < m_dateXfs.size() && m_dateXfs[xf];
}

void BiffReader::writeNumber(
    CellMessageWriter& writer, quint16 row, quint16 column, quint16 xf, double value) const
{
    if (!std::isfinite(value))
        return;
    writer.byte(CellMessage::cell);
    writer.u32(row);
    writer.u16(column);
    if (isDateFormat(xf)) {
        const QDateTime date = ExcelDate::fromSerial(value, m_date1904);
        if (date.isValid()) {
            writer.byte(CellMessage::date);
            writer.i64(date.toMSecsSinceEpoch());
            return;
        }
    }
    writer.byte(CellMessage::number);
    writer.number(value);
}

void BiffReader::readSheet(const QString& sheetName, CellMessageWriter& writer)
{
    readGlobals();
    m_dateXfs.reserve(m_xfFormats.size());
    for (quint16 formatId : std::as_const(m_xfFormats)) {
        const auto custom = m_formats.constFind(formatId);
        m_dateXfs.append(custom != m_formats.constEnd() ? NumberFormat::isDateCode(*custom)
                                                        : NumberFormat::isBuiltInDate(formatId));
    }
    for (const Sheet& sheet : std::as_const(m_sheets)) {
        if (sheet.name.compare(sheetName, Qt::CaseInsensitive) == 0) {
            readCells(sheet.offset, writer);
            writer.byte(CellMessage::done);
            return;
        }
    }
    throw Failure(CellMessage::missingSheet, "");
}

namespace {

void writeText(CellMessageWriter& writer, quint16 row, quint16 column, const QByteArray& utf8)
{
    writer.byte(CellMessage::cell);
    writer.u32(row);
    writer.u16(column);
    writer.byte(CellMessage::text);
    writer.text(utf8.constData(), size_t(utf8.size()));
}

void writeBoolean(CellMessageWriter& writer, quint16 row, quint16 column, bool value)
{
    writer.byte(CellMessage::cell);
    writer.u32(row);
    writer.u16(column);
    writer.byte(CellMessage::number);
    writer.number(value ? 1.0 : 0.0);
}

} // namespace

void BiffReader::readCells(qsizetype offset, CellMessageWriter& writer)
{
    const Record bof = recordAt(offset);
    if (bof.type != RecordType::bof || bof.length < 4 || read16(payload(bof), 2) != worksheetType)
        damaged("a worksheet entry points at no worksheet");
    offset = bof.start + bof.length;
    PendingString pending;
    int depth = 0; // charts embedded in the sheet have their own BOF .. EOF
    for (;;) {
        if (offset >= m_stream.size())
            damaged("a worksheet has no end");
        const Record record = recordAt(offset);
        offset = record.start + record.length;
        if (record.type == RecordType::bof) {
            ++depth;
            continue;
        }
        if (record.type == RecordType::eof) {
            if (depth == 0)
                return;
            --depth;
            continue;
        }
        if (depth > 0)
            continue;
        try {
            readCell(record, offset, writer, pending);
        } catch (const BiffRecordCursor::Overrun&) {
            damaged("a cell record ends early");
        }
    }
}

void BiffReader::readCell(
    const Record& record, qsizetype& offset, CellMessageWriter& writer, PendingString& pending)
{
    const QByteArrayView data = payload(record);
    switch (record.type) {
    case RecordType::labelSst: {
        if (data.size() < 10)
            damaged("a short text cell");
        const quint32 index = read32(data, 6);
        if (index >= quint32(m_sharedStrings.size()))
            damaged("a cell names a missing shared text");
        writeText(writer, read16(data, 0), read16(data, 2), m_sharedStrings[index]);
        pending.waiting = false;
        break;
    }
    case RecordType::label:
    case RecordType::rstring: {
        BiffRecordCursor cursor = continued(record, offset);
        const quint16 row = cursor.u16();
        const quint16 column = cursor.u16();
        cursor.u16();
        writeText(writer, row, column, recordText(cursor).toUtf8());
        pending.waiting = false;
        break;
    }
    case RecordType::number:
        if (data.size() < 14)
            damaged("a short number cell");
        writeNumber(writer, read16(data, 0), read16(data, 2), read16(data, 4), readDouble(data, 6));
        pending.waiting = false;
        break;
    case RecordType::rk:
        if (data.size() < 10)
            damaged("a short number cell");
        writeNumber(writer, read16(data, 0), read16(data, 2), read16(data, 4), rkValue(read32(data, 6)));
        pending.waiting = false;
        break;
    case RecordType::mulRk: {
        if (data.size() < 6)
            damaged("a short number cell");
        const quint16 row = read16(data, 0);
        const quint16 first = read16(data, 2);
        const qsizetype count = (data.size() - 6) / 6;
        for (qsizetype i = 0; i < count; ++i)
            writeNumber(
                writer, row, quint16(first + i), read16(data, 4 + i * 6), rkValue(read32(data, 6 + i * 6)));
        pending.waiting = false;
        break;
    }
    case RecordType::boolErr:
        if (data.size() < 8)
            damaged("a short boolean cell");
        if (data[7] == 0) // an error value reads as NULL
            writeBoolean(writer, read16(data, 0), read16(data, 2), data[6] != 0);
        pending.waiting = false;
        break;
    case RecordType::formula:
        readFormula(data, writer, pending);
        break;
    case RecordType::string: {
        BiffRecordCursor cursor = continued(record, offset);
        const QByteArray value = recordText(cursor).toUtf8();
        if (pending.waiting)
            writeText(writer, pending.row, pending.column, value);
        pending.waiting = false;
        break;
    }
    default:
        break;
    }
}

void BiffReader::readFormula(QByteArrayView data, CellMessageWriter& writer, PendingString& pending) const
{
    if (data.size() < 20)
        damaged("a short formula cell");
    const quint16 row = read16(data, 0);
    const quint16 column = read16(data, 2);
    pending.waiting = false;
    if (read16(data, 12) != 0xffff)
        return writeNumber(writer, row, column, read16(data, 4), readDouble(data, 6));
    switch (quint8(data[6])) {
    case 0:
        pending = { true, row, column };
        break;
    case 1:
        writeBoolean(writer, row, column, data[8] != 0);
        break;
    case 3:
        writeText(writer, row, column, QByteArray());
        break;
    default: // an error value reads as NULL
        break;
    }
}

} // namespace glimora::engine
