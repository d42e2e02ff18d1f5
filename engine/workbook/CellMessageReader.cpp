#include "engine/workbook/CellMessageReader.h"

#include "engine/workbook/CellMessage.h"
#include "engine/workbook/SheetTableBuilder.h"
#include "engine/workbook/WorkbookError.h"

#include <cstring>
#include <QDateTime>
#include <QFile>

namespace glimora::engine {

using glimora::data::Variant;

namespace {

// libfreexl writes dates as "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS", and Excel's
// phantom 1900-02-29 as such; it becomes the 28th, the day that serial is counted on.
Variant dateValue(const QString& text)
{
    const auto number
        = [&text](qsizetype at, qsizetype length) { return QStringView(text).mid(at, length).toInt(); };
    QDate date(1899, 12, 30);
    QTime time(0, 0);
    if (text.size() == 10 || text.size() == 19) {
        const int year = number(0, 4);
        const int month = number(5, 2);
        const int day = number(8, 2);
        date = (year == 1900 && month == 2 && day == 29) ? QDate(1900, 2, 28) : QDate(year, month, day);
    }
    if (text.size() == 19 || text.size() == 8) {
        const qsizetype at = text.size() - 8;
        time = QTime(number(at, 2), number(at + 3, 2), number(at + 6, 2));
    }
    const bool known = text.size() == 10 || text.size() == 19 || text.size() == 8;
    if (!known || !date.isValid() || !time.isValid())
        return Variant::fromString(text);
    return Variant::fromDateTime(QDateTime(date, time, Qt::UTC));
}

} // namespace

CellMessageReader::CellMessageReader(Source source, QString path)
    : m_source(std::move(source))
    , m_path(std::move(path))
{
}

void CellMessageReader::readInto(SheetTableBuilder& builder, const QString& sheetName)
{
    for (;;) {
        const char kind = byte();
        if (kind == CellMessage::done)
            return;
        if (kind == CellMessage::failure) {
            const char failure = byte();
            throwFailure(failure, text(), sheetName);
        }
        if (kind != CellMessage::cell)
            throw WorkbookError::damaged(m_path, QStringLiteral("the reader sent nonsense"));
        const quint32 row = value<quint32>();
        const quint16 column = value<quint16>();
        const char cellKind = byte();
        if (cellKind == CellMessage::number)
            builder.setCell(row, column, Variant::fromDouble(value<double>()));
        else if (cellKind == CellMessage::date)
            builder.setCell(row, column, dateValue(text()));
        else
            builder.setCell(row, column, Variant::fromString(text()));
    }
}

void CellMessageReader::throwFailure(char kind, const QString& detail, const QString& sheetName) const
{
    switch (kind) {
    case CellMessage::missingSheet:
        throw WorkbookError::missingSheet(m_path, sheetName);
    case CellMessage::passwordProtected:
        throw WorkbookError::passwordProtected(m_path);
    case CellMessage::missingFile:
        throw WorkbookError::missingFile(m_path);
    case CellMessage::notAWorkbook: {
        // Office keeps an encrypted .xlsx in a compound file too, beside no workbook stream.
        QFile file(m_path);
        const QByteArray marker
            = QByteArray::fromRawData("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
        if (file.size() < 256 * 1024 * 1024 && file.open(QIODevice::ReadOnly)
            && file.readAll().contains(marker))
            throw WorkbookError::passwordProtected(m_path);
        throw WorkbookError::notAWorkbook(m_path);
    }
    default:
        throw WorkbookError::damaged(m_path, detail);
    }
}

void CellMessageReader::fill(char* target, qint64 size)
{
    while (size > 0) {
        if (m_position == m_available) {
            m_available = m_source(m_buffer, sizeof m_buffer);
            m_position = 0;
            if (m_available <= 0)
                throw WorkbookError::damaged(m_path, QStringLiteral("the reader stopped unexpectedly"));
        }
        const qint64 count = std::min(size, m_available - m_position);
        std::memcpy(target, m_buffer + m_position, size_t(count));
        m_position += count;
        target += count;
        size -= count;
    }
}

char CellMessageReader::byte()
{
    char value;
    fill(&value, 1);
    return value;
}

template <typename T> T CellMessageReader::value()
{
    T result;
    fill(reinterpret_cast<char*>(&result), sizeof result);
    return result;
}

QString CellMessageReader::text()
{
    const quint32 length = value<quint32>();
    if (length > 64 * 1024 * 1024)
        throw WorkbookError::damaged(m_path, QStringLiteral("the reader sent nonsense"));
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    fill(bytes.data(), length);
    return QString::fromUtf8(bytes);
}

} // namespace glimora::engine
