#include "engine/workbook/CellMessageReader.h"

#include "engine/workbook/CellMessage.h"
#include "engine/workbook/SheetTableBuilder.h"
#include "engine/workbook/WorkbookError.h"

#include <cstring>
#include <QDateTime>

namespace glimora::engine {

using glimora::data::Variant;

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
            builder.setCell(
                row, column, Variant::fromDateTime(QDateTime::fromMSecsSinceEpoch(value<qint64>(), Qt::UTC)));
        else if (cellKind == CellMessage::text)
            builder.setCell(row, column, Variant::fromString(text()));
        else
            throw WorkbookError::damaged(m_path, QStringLiteral("the reader sent nonsense"));
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
    case CellMessage::notAWorkbook:
        throw WorkbookError::notAWorkbook(m_path);
    case CellMessage::tooLarge:
        throw WorkbookError::tooLarge(m_path, detail);
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
