#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace glimora::maintenance {

// Data management's export: every record of its record source, the shown columns under their
// captions, read on a connection of its own and written as each record is read, so that
// memory does not follow the number of records. The file appears under its name only when
// it is complete; a cancel or a failure leaves nothing behind, not even a part.
class RecordExport
{
public:
    enum class Format { Xlsx, Csv };
    struct Column
    {
        QString name; // as the record source names it
        QString caption; // the header of its column in the file
    };
    enum class Outcome { Done, Cancelled, Failed };
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        qint64 records = 0; // written
        QString reason; // why it failed
    };

    RecordExport(QString connectionString, QString statement, QList<Column> columns, QString path);

    // .csv by the name's ending, else a workbook.
    static Format formatOf(const QString& path);
    // The filters of the file dialog.
    static const QString& fileFilter();
    // The workbook's one sheet, under the name the import reads.
    static const QString& sheetName();

    const QString& path() const { return m_path; }
    Format format() const { return formatOf(m_path); }

    // keepGoing is told how many records are written, every few hundred; false cancels.
    Result run(const std::function<bool(qint64 records)>& keepGoing) const;

private:
    QString m_connectionString;
    QString m_statement;
    QList<Column> m_columns;
    QString m_path;
};

} // namespace glimora::maintenance
