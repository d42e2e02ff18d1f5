#pragma once

#include "maintenance/RecordWriter.h"

#include <QByteArray>

class QIODevice;

namespace glimora::maintenance {

// Comma-separated values in UTF-8 with a byte-order mark, lines ending in CR LF, a field in
// double quotes when it holds a comma, a quote or a line break: what spreadsheets read.
class CsvRecordWriter : public RecordWriter
{
public:
    explicit CsvRecordWriter(QIODevice& device);

    bool writeHeader(const QStringList& captions) override;
    bool writeRow(const QList<data::Variant>& row, const QList<int>& columns) override;
    bool finish() override;
    QString errorString() const override { return m_error; }

    // One value as a field, quoted where needed.
    static void appendField(QByteArray& out, const data::Variant& value);

private:
    bool flush();

    QIODevice& m_device;
    QByteArray m_buffer;
    QString m_error;
};

} // namespace glimora::maintenance
