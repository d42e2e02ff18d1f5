#include "maintenance/RecordExport.h"

#include "data/Connection.h"
#include "data/DbError.h"
#include "data/ErrorHints.h"
#include "data/Session.h"
#include "maintenance/CsvRecordWriter.h"
#include "maintenance/XlsxRecordWriter.h"

#include <QSaveFile>

#include <exception>
#include <memory>

namespace glimora::maintenance {

namespace {

constexpr int RecordsBetweenProgress = 256;

RecordExport::Result failed(const QString& reason, qint64 records = 0)
{
    return { RecordExport::Outcome::Failed, records, reason };
}

} // namespace

RecordExport::RecordExport(QString connectionString, QString statement, QList<Column> columns, QString path)
    : m_connectionString(std::move(connectionString))
    , m_statement(std::move(statement))
    , m_columns(std::move(columns))
    , m_path(std::move(path))
{
}

RecordExport::Format RecordExport::formatOf(const QString& path)
{
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? Format::Csv : Format::Xlsx;
}

const QString& RecordExport::fileFilter()
{
    static const QString filter = QStringLiteral("(*.XLSX)|*.XLSX|(*.CSV)|*.CSV||");
    return filter;
}

const QString& RecordExport::sheetName()
{
    static const QString name = QStringLiteral("records");
    return name;
}

RecordExport::Result RecordExport::run(const std::function<bool(qint64)>& keepGoing) const
{
    // Written beside the chosen name and renamed onto it at the end; dropped otherwise.
    // Unbuffered: a write that the disk cuts short is told to the writer that made it, where
    // the file's own buffer would lose it at the commit and keep a cut-off file.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(file.errorString());
    qint64 records = 0;
    try {
        data::Connection connection = data::Connection::create();
        connection.SetConnectionTimeout(15);
        connection.Open(m_connectionString);
        data::ExecuteResult result = connection.session()->execute(m_statement, 0);
        if (!result.cursor)
            return failed(QString::fromUtf8("记录源没有返回记录。"));
        data::BackendCursor& cursor = *result.cursor;

        QList<int> columns;
        QStringList captions;
        QList<bool> read(cursor.fields().size(), false);
        for (const Column& column : m_columns) {
            for (qsizetype field = 0; field < cursor.fields().size(); ++field) {
                if (cursor.fields().at(field).name.compare(column.name, Qt::CaseInsensitive) == 0) {
                    columns.append(int(field));
                    captions.append(column.caption);
                    read[field] = true;
                    break;
                }
            }
        }

        std::unique_ptr<RecordWriter> writer;
        if (formatOf(m_path) == Format::Csv)
            writer = std::make_unique<CsvRecordWriter>(file);
        else
            writer = std::make_unique<XlsxRecordWriter>(file, sheetName());
        if (!writer->writeHeader(captions))
            return failed(writer->errorString());
        // The writer stops writing before the file is dropped.
        const auto cancelled = [&] {
            writer.reset();
            file.cancelWriting();
            return Result { Outcome::Cancelled, records, QString() };
        };
        QList<data::Variant> row;
        while (cursor.fetchFields(row, read)) {
            if (!writer->writeRow(row, columns))
                return failed(writer->errorString(), records);
            ++records;
            if (records % RecordsBetweenProgress == 0 && keepGoing && !keepGoing(records))
                return cancelled();
        }
        result.cursor.reset();
        connection.Close();
        if (keepGoing && !keepGoing(records))
            return cancelled();
        if (!writer->finish())
            return failed(writer->errorString(), records);
    } catch (const data::DbError& error) {
        return failed(data::ErrorHints::text(error), records);
    } catch (const std::exception& error) {
        return failed(QString::fromLocal8Bit(error.what()), records);
    }
    if (!file.commit())
        return failed(file.errorString(), records);
    return { Outcome::Done, records, QString() };
}

} // namespace glimora::maintenance
