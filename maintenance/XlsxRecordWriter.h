#pragma once

#include "maintenance/RecordWriter.h"
#include "maintenance/ZipStreamWriter.h"

#include <QByteArray>

class QIODevice;

namespace glimora::maintenance {

// An Office Open XML workbook of one sheet, written as the rows come: texts inline (no
// shared-string table to hold), numbers as numbers, dates as dates. A decimal or integer
// that a spreadsheet's number would round is written as its text, so that nothing changes.
class XlsxRecordWriter : public RecordWriter
{
public:
    // The most records a sheet holds below its header row.
    static constexpr qint64 MaximumRecords = 1'048'575;

    XlsxRecordWriter(QIODevice& device, const QString& sheetName);

    bool writeHeader(const QStringList& captions) override;
    bool writeRow(const QList<data::Variant>& row, const QList<int>& columns) override;
    bool finish() override;
    QString errorString() const override;

private:
    bool flush();
    void appendText(const QString& text);
    void appendCell(const data::Variant& value);

    ZipStreamWriter m_zip;
    QString m_sheetName;
    QByteArray m_buffer;
    qint64 m_rows = 0;
    bool m_gap = false; // an empty cell was left out: the next one names its place
    int m_column = 0;
    QString m_error;
};

} // namespace glimora::maintenance
