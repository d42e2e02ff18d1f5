#include "query/SearchIndex.h"

#include "data/Command.h"
#include "data/SearchKeys.h"
#include "query/QueryStatements.h"
#include "query/SearchStatements.h"
#include "settings/SettingsFile.h"

#include <QSet>

namespace glimora::query {

namespace {

void run(const data::Connection& connection, const QString& text)
{
    data::Command command = data::Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandTimeout(0);
    command.SetCommandText(text);
    command.Execute();
}

} // namespace

bool SearchIndex::enabled()
{
    return settings::ReadSetting(QStringLiteral("show"), QStringLiteral("search"), QStringLiteral("0"))
               .trimmed()
        == QLatin1String("1");
}

bool SearchIndex::setEnabled(bool on)
{
    return settings::WriteSetting(
        QStringLiteral("show"), QStringLiteral("search"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList SearchIndex::columns()
{
    QString listed = settings::ReadSetting(QStringLiteral("search"), QStringLiteral("columns"), QString());
    const bool ownList = !listed.trimmed().isEmpty();
    if (!ownList)
        listed = settings::ReadSetting(QStringLiteral("select"), QStringLiteral("select"), QString());
    QStringList columns;
    for (const QString& part : listed.split(QLatin1Char(','))) {
        const QString column = part.trimmed().toLower();
        if (!QueryStatements::isColumnName(column) || columns.contains(column))
            continue;
        const int number = QueryStatements::columnNumber(column);
        if (ownList || (column.startsWith(QLatin1Char('d')) && number >= 1 && number <= 15))
            columns.append(column);
    }
    return columns;
}

void SearchIndex::rebuild(const data::Connection& connection, const QStringList& columns,
    const std::function<void(long, long)>& progress)
{
    run(connection, SearchStatements::dropIndex());
    run(connection, SearchStatements::createIndex());
    // The values are told apart here rather than by the server, whose distinct sorts them all;
    // one the server holds equal to another is found twice, and the search keeps it once.
    QList<QPair<QString, QString>> values;
    for (const QString& column : columns) {
        data::Command command = data::Command::create();
        command.SetActiveConnection(connection);
        command.SetCommandTimeout(0);
        command.SetCommandText(SearchStatements::columnValues(column));
        data::Recordset rows = command.Execute();
        QSet<QString> seen;
        for (; !rows.EndOfFile(); rows.MoveNext()) {
            const data::Variant value = rows.Item(0).Value();
            if (value.kind() != data::Variant::Kind::String)
                continue;
            QString text = value.toString();
            if (text.isEmpty() || seen.contains(text))
                continue;
            seen.insert(text);
            values.append({ column, std::move(text) });
        }
    }
    const long total = long(values.size());
    // One transaction: a commit of each statement would wait for the disk each time.
    run(connection, QStringLiteral("begin transaction"));
    try {
        QStringList valueRows, chunkRows;
        SearchStatements::Chunk chunk;
        QString chunkColumn;
        long id = 0;
        const auto endChunk = [&] {
            if (chunk.isEmpty())
                return;
            chunkRows.append(chunk.row(chunkColumn));
            chunk = {};
        };
        QList<data::SearchKeys> block;
        for (long n = 0; n < total; ++n) {
            const auto& [column, value] = values[n];
            if (n % SearchStatements::maxRows == 0) {
                QStringList texts;
                for (long m = n; m < total && m < n + SearchStatements::maxRows; ++m)
                    texts.append(values[m].second);
                block = data::SearchKeys::of(texts);
            }
            const data::SearchKeys& keys = block[n % SearchStatements::maxRows];
            // A value of blanks alone has no key.
            if (keys.text.isEmpty())
                continue;
            if (column != chunkColumn || chunk.size() == SearchStatements::chunkValues) {
                endChunk();
                chunkColumn = column;
            }
            chunk.add(++id, keys);
            valueRows.append(SearchStatements::valueRow(column, id, value, keys));
            if (valueRows.size() == SearchStatements::maxRows) {
                run(connection, SearchStatements::insertValues(valueRows));
                valueRows.clear();
                if (progress)
                    progress(n, total);
            }
            if (chunkRows.size() == SearchStatements::maxRows / SearchStatements::chunkValues) {
                run(connection, SearchStatements::insertChunks(chunkRows));
                chunkRows.clear();
            }
        }
        endChunk();
        if (!valueRows.isEmpty())
            run(connection, SearchStatements::insertValues(valueRows));
        if (!chunkRows.isEmpty())
            run(connection, SearchStatements::insertChunks(chunkRows));
        run(connection, QStringLiteral("commit transaction"));
    } catch (...) {
        try {
            run(connection, QStringLiteral("if @@trancount > 0 rollback transaction"));
        } catch (const std::exception&) { // DbError among them
        }
        throw;
    }
    if (progress)
        progress(total, total);
    // The embedded server makes the index of a question when it is first asked of a large
    // table: asked here, behind the job's progress, no visitor waits for it.
    for (const QString& column : columns)
        run(connection, SearchStatements::warmUp(column));
}

void SearchIndex::add(const data::Connection& connection, const QStringList& columns,
    const QStringList& changedColumns, const QStringList& values)
{
    QStringList batch;
    for (qsizetype n = 0; n < changedColumns.size() && n < values.size(); ++n) {
        if (!columns.contains(changedColumns[n], Qt::CaseInsensitive) || values[n].isEmpty())
            continue;
        const data::SearchKeys keys = data::SearchKeys::of(values[n]);
        // A value of blanks alone has no key.
        if (!keys.text.isEmpty())
            batch.append(SearchStatements::addEntry(changedColumns[n].toLower(), values[n], keys));
    }
    if (batch.isEmpty())
        return;
    run(connection, SearchStatements::createIndex());
    run(connection, batch.join(QLatin1Char(' ')));
}

} // namespace glimora::query
