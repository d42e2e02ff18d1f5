#include "engine/server/EmbeddedBackend.h"

#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "engine/backup/DatabaseBackup.h"
#include "engine/rowset/WorkbookRowset.h"
#include "engine/server/Catalogue.h"
#include "engine/server/EmbeddedSession.h"

namespace glimora::engine {

namespace {

// Hands a whole table on as a sheet's cells: the names as the first row under a heading.
void tableCells(const RowsetTable& table, bool headerRow, SheetCells& cells)
{
    const int firstRow = headerRow ? 1 : 0;
    if (headerRow) {
        for (int column = 0; column < table.columnNames.size(); ++column)
            cells.text(0, column, table.columnNames[column].toStdString());
    }
    for (int row = 0; row < table.rows.size(); ++row) {
        for (int column = 0; column < table.rows[row].size(); ++column) {
            const data::Variant& value = table.rows[row][column];
            switch (value.kind()) {
            case data::Variant::Kind::Null:
            case data::Variant::Kind::Empty:
                break;
            case data::Variant::Kind::String:
                cells.text(row + firstRow, column, value.toString().toStdString());
                break;
            case data::Variant::Kind::DateTime: {
                const QDateTime dateTime = value.toDateTime();
                cells.dateTime(row + firstRow, column,
                    QDateTime(dateTime.date(), dateTime.time(), Qt::UTC).toMSecsSinceEpoch());
                break;
            }
            case data::Variant::Kind::Int16:
            case data::Variant::Kind::Int32:
            case data::Variant::Kind::Int64:
            case data::Variant::Kind::Boolean:
                cells.number(row + firstRow, column, double(value.toInt64()));
                break;
            default:
                cells.number(row + firstRow, column, value.toDouble());
                break;
            }
        }
    }
}

} // namespace

EmbeddedBackend::EmbeddedBackend(const QString& dataDirectory)
    : m_catalogue(std::make_shared<Catalogue>(dataDirectory))
    , m_rowsetReader(&WorkbookRowset::read)
{
    // Best effort: a catalogue another process holds this moment keeps them until next time.
    try {
        DatabaseBackup::removeLeftovers(*m_catalogue);
    } catch (const ServerError&) {
    }
}

EmbeddedBackend::~EmbeddedBackend() = default;

void EmbeddedBackend::setRowsetReader(RowsetReader reader)
{
    m_rowsetReader = [reader = std::move(reader)](const QString& path, const QString& sheet, bool headerRow,
                         SheetCells& cells) { tableCells(reader(path, sheet, headerRow), headerRow, cells); };
}

void EmbeddedBackend::setRowsetCellReader(RowsetCellReader reader)
{
    m_rowsetReader = std::move(reader);
}

QString EmbeddedBackend::dataDirectory() const
{
    return m_catalogue->dataDirectory();
}

std::unique_ptr<data::BackendSession> EmbeddedBackend::open(
    const QString& connectionString, int connectionTimeoutSeconds)
{
    const QHash<QString, QString> keys = data::ConnectionString::parse(connectionString);
    const QString user = keys.value(QStringLiteral("uid"), keys.value(QStringLiteral("user id")));
    const QString password = keys.value(QStringLiteral("pwd"), keys.value(QStringLiteral("password")));
    const QString requested
        = keys.value(QStringLiteral("database"), keys.value(QStringLiteral("initial catalog"))).trimmed();
    const int busyTimeoutMs = connectionTimeoutSeconds > 0 ? connectionTimeoutSeconds * 1000 : 0;
    try {
        const LoginInfo login = m_catalogue->authenticate(user, password);
        QString database = requested;
        if (database.isEmpty()) {
            database = login.defaultDatabase.isEmpty() ? QStringLiteral("master") : login.defaultDatabase;
            try {
                return std::make_unique<EmbeddedSession>(
                    m_catalogue, m_rowsetReader, login, database, busyTimeoutMs);
            } catch (const ServerError& error) {
                if (error.number() == 911 || error.number() == 916)
                    throw ServerError(
                        4064, QStringLiteral("Cannot open user default database. Login failed."), 11, 1);
                throw;
            }
        }
        try {
            return std::make_unique<EmbeddedSession>(
                m_catalogue, m_rowsetReader, login, database, busyTimeoutMs);
        } catch (const ServerError& error) {
            if (error.number() == 911 || error.number() == 916)
                throw ServerError(4060,
                    QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
                        .arg(database),
                    11, 1);
            throw;
        }
    } catch (const ServerError& error) {
        throw data::DbError(
            data::DbError::ProviderFailure, error.message(), error.number(), error.severity(), error.state());
    }
}

} // namespace glimora::engine
