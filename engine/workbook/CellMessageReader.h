#pragma once

#include <functional>
#include <QString>
#include <QtGlobal>
#include <string>
#include <string_view>

namespace glimora::engine {

class SheetCells;

// Decodes the messages of CellMessage, as the .xls child wrote them, into a receiver of cells.
// The stream is untrusted: whatever it holds, the result is a table or a WorkbookError.
class CellMessageReader
{
public:
    // Fills buffer with up to size bytes; returns 0 at the end of the stream.
    using Source = std::function<qint64(char* buffer, qint64 size)>;

    CellMessageReader(Source source, QString path);

    // Returns on a complete sheet; throws WorkbookError for a failure message, a stream
    // that breaks off, or nonsense.
    void readInto(SheetCells& cells, const QString& sheetName);
    // Whether the stream came to its end (or broke off), rather than its reader stopping.
    bool sourceEnded() const { return m_sourceEnded; }

private:
    [[noreturn]] void throwFailure(char kind, const QString& detail, const QString& sheetName) const;
    void fill(char* target, qint64 size);
    char byte();
    template <typename T> T value();
    // Valid until the next read from the stream.
    std::string_view text();

    Source m_source;
    QString m_path;
    char m_buffer[64 * 1024];
    qint64 m_available = 0;
    qint64 m_position = 0;
    std::string m_longText; // a text that does not lie whole in the buffer
    bool m_sourceEnded = false;
};

} // namespace glimora::engine
