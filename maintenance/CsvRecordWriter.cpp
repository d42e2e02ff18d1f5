#include "maintenance/CsvRecordWriter.h"

#include "maintenance/ExportedValue.h"

#include <QIODevice>

namespace glimora::maintenance {

namespace {

constexpr qsizetype FlushAt = 1 << 20;

bool needsQuotes(QByteArrayView text)
{
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r')
            return true;
    }
    return false;
}

bool isSignedNumber(QByteArrayView text)
{
    bool digits = false;
    bool point = false;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            digits = true;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

// A spreadsheet runs a field that starts so as a formula; a signed number it reads as the number.
bool readAsFormula(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    const char first = text.front();
    if (first == '=' || first == '@')
        return true;
    return (first == '+' || first == '-') && !isSignedNumber(text);
}

} // namespace

CsvRecordWriter::CsvRecordWriter(QIODevice& device)
    : m_device(device)
{
    m_buffer.reserve(FlushAt + 64 * 1024);
    m_buffer.append("\xEF\xBB\xBF");
}

void CsvRecordWriter::appendField(QByteArray& out, const data::Variant& value)
{
    const qsizetype start = out.size();
    ExportedValue::append(out, value);
    if (value.kind() != data::Variant::Kind::String)
        return;
    if (readAsFormula(QByteArrayView(out).sliced(start)))
        out.insert(start, '\'');
    const QByteArrayView text = QByteArrayView(out).sliced(start);
    if (!needsQuotes(text))
        return;
    QByteArray quoted;
    quoted.reserve(text.size() + 8);
    quoted.append('"');
    for (const char c : text) {
        if (c == '"')
            quoted.append('"');
        quoted.append(c);
    }
    quoted.append('"');
    out.truncate(start);
    out.append(quoted);
}

bool CsvRecordWriter::writeHeader(const QStringList& captions)
{
    for (qsizetype i = 0; i < captions.size(); ++i) {
        if (i > 0)
            m_buffer.append(',');
        appendField(m_buffer, data::Variant::fromString(captions.at(i)));
    }
    m_buffer.append("\r\n");
    return m_error.isEmpty();
}

bool CsvRecordWriter::writeRow(const QList<data::Variant>& row, const QList<int>& columns)
{
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (i > 0)
            m_buffer.append(',');
        appendField(m_buffer, row.at(columns.at(i)));
    }
    m_buffer.append("\r\n");
    return m_buffer.size() < FlushAt ? m_error.isEmpty() : flush();
}

bool CsvRecordWriter::flush()
{
    if (!m_error.isEmpty())
        return false;
    if (m_device.write(m_buffer) != m_buffer.size()) {
        m_error = m_device.errorString();
        return false;
    }
    m_buffer.clear();
    return true;
}

bool CsvRecordWriter::finish()
{
    return flush();
}

} // namespace glimora::maintenance
