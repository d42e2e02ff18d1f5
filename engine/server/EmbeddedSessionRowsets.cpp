// OPENROWSET over a worksheet: a temporary table, loaded or streamed, dropped with the session
// or its database.
#include "engine/server/EmbeddedSession.h"

#include "engine/rowset/RowsetLoader.h"
#include "engine/rowset/RowsetStream.h"
#include "engine/workbook/BackgroundSheetReader.h"

#include <sqlite3.h>

namespace glimora::engine {

using namespace ast;
using Base = SqlType::Base;

void EmbeddedSession::dropRowsets()
{
    if (!m_database) {
        m_rowsetStreams.clear();
        return;
    }
    for (const QString& table : std::as_const(m_rowsets))
        sqlite3_exec(m_database->handle(),
            QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(table).toUtf8().constData(), nullptr, nullptr,
            nullptr);
    m_rowsets.clear();
    for (const std::unique_ptr<RowsetStream>& stream : m_rowsetStreams)
        stream->unregister(*m_database);
    // Stops and joins the readers still running.
    m_rowsetStreams.clear();
}

TableInfo EmbeddedSession::openRowset(const TableSource& source)
{
    const QString provider = source.provider.trimmed();
    // The workbook is read with the server's own access to files, so reading one is a right
    // over the whole server (ADMINISTER BULK OPERATIONS), never one that some database gives.
    // Checked before the file is touched: not even its existence is told.
    if (!m_login.sysadmin && !m_catalogue->isServerRoleMember(m_login.name, QStringLiteral("bulkadmin")))
        throw ServerError(7415,
            QStringLiteral("Ad hoc access to OLE DB provider '%1' has been denied. You must access this "
                           "provider through a linked server.")
                .arg(provider),
            16, 1);
    if (provider.compare(QLatin1String("Microsoft.Jet.OLEDB.4.0"), Qt::CaseInsensitive) != 0
        && provider.compare(QLatin1String("Microsoft.ACE.OLEDB.12.0"), Qt::CaseInsensitive) != 0)
        throw ServerError(
            7403, QStringLiteral("The OLE DB provider \"%1\" has not been registered.").arg(provider), 16);
    QString path;
    bool header = true; // Jet reads a heading row unless HDR=no
    for (const QString& part : source.options.split(QLatin1Char(';'))) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = part.section(QLatin1Char('='), 1).trimmed();
        if (key.compare(QLatin1String("Database"), Qt::CaseInsensitive) == 0)
            path = value;
        else if (key.compare(QLatin1String("HDR"), Qt::CaseInsensitive) == 0)
            header = value.compare(QLatin1String("no"), Qt::CaseInsensitive) != 0;
    }
    QString sheet = source.object;
    if (sheet.endsWith(QLatin1Char('$')))
        sheet.chop(1);
    const QString failure
        = QStringLiteral("The OLE DB provider \"%1\" for linked server \"(null)\" reported an error. %2");
    if (path.isEmpty())
        throw ServerError(
            7399, failure.arg(provider, QStringLiteral("No workbook was named (Database=...).")), 16);
    // The system would open the name only up to the NUL: some other file.
    if (path.contains(QChar(u'\0')))
        throw ServerError(
            7399, failure.arg(provider, QStringLiteral("The workbook's name holds a NUL character.")), 16);
    TableInfo info;
    info.name = QStringLiteral("openrowset");
    const QString table = QStringLiteral("\"__rowset_%1\"").arg(++m_rowsetCounter);
    info.sqlName = QStringLiteral("temp.") + table;
    const BackgroundSheetReader::Reader read
        = [this, path, sheet, header](SheetCells& cells) { m_rowsetReader(path, sheet, header, cells); };
    if (m_mayStreamRowset) {
        m_mayStreamRowset = false;
        auto stream = std::make_unique<RowsetStream>(read, path, header);
        if (stream->learnColumns()) {
            try {
                stream->createTable(*m_database, table);
                info.columns = stream->columns();
                m_rowsets.append(table);
                m_rowsetStreams.push_back(std::move(stream));
                return info;
            } catch (const ServerError&) {
                stream->unregister(*m_database);
            }
        }
    }
    // The rows go straight from the reader into the table, so the sheet is never held whole;
    // a sheet that fails half-way leaves nothing.
    m_rowsets.append(table);
    m_database->execute(QStringLiteral("SAVEPOINT rowset"));
    try {
        RowsetLoader loader(*m_database, table, path, header);
        try {
            // The file is parsed on a second thread while this one stores the rows.
            BackgroundSheetReader::run(read, loader);
        } catch (const ServerError&) {
            throw;
        } catch (const std::exception& error) {
            throw ServerError(7399, failure.arg(provider, QString::fromUtf8(error.what())), 16);
        }
        info.columns = loader.finish();
        m_database->execute(QStringLiteral("RELEASE rowset"));
    } catch (...) {
        sqlite3_exec(m_database->handle(), "ROLLBACK TO rowset; RELEASE rowset", nullptr, nullptr, nullptr);
        throw;
    }
    return info;
}

} // namespace glimora::engine
