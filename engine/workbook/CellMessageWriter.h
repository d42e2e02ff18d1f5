#pragma once

#include <cstddef>
#include <QtGlobal>
#include <string>

namespace glimora::engine {

// Encodes the messages of CellMessage into a buffer and hands full buffers to a sink (the
// pipe to the parent, or memory). Uses no Qt beyond its integer types, as it runs in the
// child between fork and exit.
class CellMessageWriter
{
public:
    // Returns false when the data could not be delivered; later messages are dropped.
    using Sink = bool (*)(void* context, const char* data, size_t size);

    CellMessageWriter(Sink sink, void* context);

    void byte(char value) { append(&value, 1); }
    void u32(quint32 value) { append(&value, sizeof value); }
    void u16(quint16 value) { append(&value, sizeof value); }
    void i64(qint64 value) { append(&value, sizeof value); }
    void number(double value) { append(&value, sizeof value); }
    void text(const char* value, size_t length);
    void failure(char kind, const char* detail);
    bool flush();

private:
    static constexpr size_t bufferSize = 64 * 1024;

    void append(const void* data, size_t size);

    Sink m_sink;
    void* m_context;
    std::string m_buffer;
    bool m_failed = false;
};

} // namespace glimora::engine
