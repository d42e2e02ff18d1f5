#include "engine/workbook/CellMessageReader.h"

#include "engine/workbook/CellMessage.h"
#include "engine/workbook/SheetCells.h"
#include "engine/workbook/WorkbookError.h"

#include <cstring>

namespace glimora::engine {

CellMessageReader::CellMessageReader(Source source, QString path)
    : m_source(std::move(source))
    , m_path(std::move(path))
{
}

void CellMessageReader::readInto(SheetCells& cells, const QString& sheetName)
{
    for (;;) {
        const char kind = byte();
        if (kind == CellMessage::done)
            return;
        if (kind == CellMessage::failure) {
            const char failure = byte();
            const std::string_view detail = text();
            throwFailure(failure, QString::fromUtf8(detail.data(), qsizetype(detail.size())), sheetName);
        }
        if (kind != CellMessage::cell)
            throw WorkbookError::damaged(m_path, QStringLiteral("the reader sent nonsense"));
        const quint32 row = value<quint32>();
        const quint16 column = value<quint16>();
        const char cellKind = byte();
        if (cellKind == CellMessage::number)
            cells.number(row, column, value<double>());
        else if (cellKind == CellMessage::date)
            cells.dateTime(row, column, value<qint64>());
        else if (cellKind == CellMessage::text)
            cells.text(row, column, text());
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
            if (m_available <= 0) {
                m_sourceEnded = true;
                throw WorkbookError::damaged(m_path, QStringLiteral("the reader stopped unexpectedly"));
            }
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

std::string_view CellMessageReader::text()
{
    const quint32 length = value<quint32>();
    if (length > 64 * 1024 * 1024)
        throw WorkbookError::damaged(m_path, QStringLiteral("the reader sent nonsense"));
    if (m_available - m_position >= qint64(length)) {
        const std::string_view inBuffer(m_buffer + m_position, length);
        m_position += length;
        return inBuffer;
    }
    m_longText.resize(length);
    fill(m_longText.data(), length);
    return m_longText;
}

} // namespace glimora::engine
