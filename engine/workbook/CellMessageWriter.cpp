#include "engine/workbook/CellMessageWriter.h"

#include "engine/workbook/CellMessage.h"

#include <cstring>

namespace glimora::engine {

CellMessageWriter::CellMessageWriter(Sink sink, void* context)
    : m_sink(sink)
    , m_context(context)
{
    m_buffer.reserve(bufferSize);
}

void CellMessageWriter::text(const char* value, size_t length)
{
    u32(quint32(length));
    append(value, length);
}

void CellMessageWriter::failure(char kind, const char* detail)
{
    byte(CellMessage::failure);
    byte(kind);
    text(detail, std::strlen(detail));
}

bool CellMessageWriter::flush()
{
    if (!m_failed && !m_buffer.empty())
        m_failed = !m_sink(m_context, m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return !m_failed;
}

void CellMessageWriter::append(const void* data, size_t size)
{
    m_buffer.append(static_cast<const char*>(data), size);
    if (m_buffer.size() >= bufferSize)
        flush();
}

} // namespace glimora::engine
