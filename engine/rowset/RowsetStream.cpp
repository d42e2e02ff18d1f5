#include "engine/rowset/RowsetStream.h"

#include "engine/storage/DatabaseConnection.h"
#include "engine/tsql/Translator.h"
#include "engine/values/DateTimeText.h"

#include <sqlite3.h>
#include <stdexcept>

namespace glimora::engine {

namespace {

// Anything this throws only means "run it as before"; the message is never shown.
[[noreturn]] void cannotStream(const char* why)
{
    throw std::runtime_error(std::string("the worksheet's rows cannot stream: ") + why);
}

struct StreamTable
{
    sqlite3_vtab base {};
    RowsetStream* stream = nullptr;
};

struct StreamCursor
{
    sqlite3_vtab_cursor base {};
};

RowsetStream& streamOf(sqlite3_vtab_cursor* cursor)
{
    return *reinterpret_cast<StreamTable*>(cursor->pVtab)->stream;
}

int failScan(sqlite3_vtab_cursor* cursor, const char* message)
{
    sqlite3_free(cursor->pVtab->zErrMsg);
    cursor->pVtab->zErrMsg = sqlite3_mprintf("%s", message);
    return SQLITE_ERROR;
}

template <typename Step> int guarded(sqlite3_vtab_cursor* cursor, Step step)
{
    try {
        step();
        return SQLITE_OK;
    } catch (const std::exception& error) {
        return failScan(cursor, error.what());
    } catch (...) {
        return failScan(cursor, "the worksheet's rows cannot stream");
    }
}

int connectTable(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**)
{
    auto* stream = static_cast<RowsetStream*>(aux);
    QStringList names;
    for (const ColumnInfo& column : stream->columns())
        names.append(Translator::quoteName(column.name));
    const int rc = sqlite3_declare_vtab(db,
        (QStringLiteral("CREATE TABLE x(") + names.join(QLatin1Char(',')) + QLatin1Char(')'))
            .toUtf8()
            .constData());
    if (rc != SQLITE_OK)
        return rc;
    auto* table = new StreamTable;
    table->stream = stream;
    *out = &table->base;
    return SQLITE_OK;
}

int bestIndex(sqlite3_vtab*, sqlite3_index_info* info)
{
    // One full scan, whatever the statement asks.
    info->estimatedCost = 1e12;
    info->estimatedRows = 1'000'000'000;
    return SQLITE_OK;
}

int disconnectTable(sqlite3_vtab* table)
{
    delete reinterpret_cast<StreamTable*>(table);
    return SQLITE_OK;
}

int openCursor(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    *out = &(new StreamCursor)->base;
    return SQLITE_OK;
}

int closeCursor(sqlite3_vtab_cursor* cursor)
{
    delete reinterpret_cast<StreamCursor*>(cursor);
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**)
{
    return guarded(cursor, [cursor] { streamOf(cursor).startScan(); });
}

int next(sqlite3_vtab_cursor* cursor)
{
    return guarded(cursor, [cursor] { streamOf(cursor).next(); });
}

int atEnd(sqlite3_vtab_cursor* cursor)
{
    return streamOf(cursor).atEnd() ? 1 : 0;
}

int column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int index)
{
    streamOf(cursor).result(context, index);
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* out)
{
    *out = streamOf(cursor).rowNumber() + 1;
    return SQLITE_OK;
}

const sqlite3_module& streamModule()
{
    static const sqlite3_module module = [] {
        sqlite3_module m {};
        m.xCreate = connectTable;
        m.xConnect = connectTable;
        m.xBestIndex = bestIndex;
        m.xDisconnect = disconnectTable;
        m.xDestroy = disconnectTable;
        m.xOpen = openCursor;
        m.xClose = closeCursor;
        m.xFilter = filter;
        m.xNext = next;
        m.xEof = atEnd;
        m.xColumn = column;
        m.xRowid = rowid;
        return m;
    }();
    return module;
}

} // namespace

RowsetStream::RowsetStream(BackgroundSheetReader::Reader read, QString path, bool headerRow)
    : m_reader(std::make_unique<BackgroundSheetReader>(std::move(read)))
    , m_path(std::move(path))
    , m_headerRow(headerRow)
{
}

RowsetStream::~RowsetStream() = default;

bool RowsetStream::learnColumns()
{
    // Wide rows end the learning early, so that the rows held stay few cells.
    constexpr size_t learningCells = 100'000;
    size_t cells = 0;
    try {
        while (!m_ended && m_closed < size_t(learningRows) && cells < learningCells) {
            const size_t before = m_closed;
            pull();
            for (size_t i = before; i < m_closed; ++i)
                cells += size_t(m_rows[i].used);
        }
    } catch (...) {
        return false;
    }
    if (m_ended || m_closed == 0)
        return false;

    int columns = std::max<int>(int(m_header.size()), 1);
    for (size_t i = 0; i < m_closed; ++i)
        columns = std::max(columns, m_rows[i].used);
    m_kinds.assign(size_t(columns), RowsetLoader::None);
    for (size_t i = 0; i < m_closed; ++i) {
        for (int column = 0; column < m_rows[i].used; ++column)
            m_kinds[size_t(column)] = Kind(m_kinds[size_t(column)] | m_rows[i].cells[size_t(column)].kind);
    }
    const qint64 lastTableRow = m_rows[m_closed - 1].index - (m_headerRow ? 1 : 0);
    if ((lastTableRow + 1) * columns > RowsetLoader::maximumCells)
        return false;
    for (int column = 0; column < columns; ++column) {
        const Kind kind = m_kinds[size_t(column)];
        if (kind != RowsetLoader::None && kind != RowsetLoader::Number && kind != RowsetLoader::Text
            && kind != RowsetLoader::Date)
            return false; // several kinds: written as text, as the loader does
        const QString name = m_headerRow ? RowsetLoader::headingName(
                                 size_t(column) < m_header.size() ? m_header[size_t(column)] : Cell(), column)
                                         : QStringLiteral("F%1").arg(column + 1);
        // Names a table cannot take the loader refuses as before.
        if (name.contains(QChar(u'\0')))
            return false;
        for (const ColumnInfo& other : std::as_const(m_columns)) {
            if (other.name.compare(name, Qt::CaseInsensitive) == 0)
                return false;
        }
        m_columns.append({ name, RowsetLoader::typeOf(kind), false, false, false });
    }
    m_learnt = true;
    return true;
}

void RowsetStream::createTable(DatabaseConnection& database, const QString& table)
{
    m_module = QStringLiteral("glimora_rowset_stream_%1").arg(quintptr(this));
    const QByteArray module = m_module.toUtf8();
    if (sqlite3_create_module_v2(database.handle(), module.constData(), &streamModule(), this, nullptr)
        != SQLITE_OK)
        throw database.error(sqlite3_errcode(database.handle()));
    database.execute(QStringLiteral("CREATE VIRTUAL TABLE temp.%1 USING %2").arg(table, m_module));
}

void RowsetStream::unregister(DatabaseConnection& database)
{
    if (m_module.isEmpty())
        return;
    sqlite3_create_module_v2(database.handle(), m_module.toUtf8().constData(), nullptr, nullptr, nullptr);
    m_module.clear();
}

// Takes the next cells from the reader, making room first when every closed row was scanned.
bool RowsetStream::pull()
{
    if (m_next == m_closed && m_closed > 0) {
        if (m_open)
            std::swap(m_rows[0], m_rows[m_closed]);
        m_closed = 0;
        m_next = 0;
    }
    if (m_reader->handNext(*this))
        return true;
    m_ended = true;
    closeRow();
    return false;
}

RowsetLoader::Cell& RowsetStream::cellAt(qint64 row, int column)
{
    if (!inSheet(row, column))
        cannotStream("a cell outside the worksheet");
    if (m_headerRow && row == 0) {
        if (m_learnt)
            cannotStream("a heading after the rows");
        if (size_t(column) >= m_header.size())
            m_header.resize(size_t(column) + 1);
        return m_header[size_t(column)];
    }
    const size_t openSlot = m_closed;
    if (!m_open || m_rows[openSlot].index != row) {
        if (row < m_lastRow || (row == m_lastRow && !m_open))
            cannotStream("cells out of order");
        closeRow();
        if (m_rows.size() <= m_closed)
            m_rows.emplace_back();
        Row& fresh = m_rows[m_closed];
        for (int i = 0; i < fresh.used; ++i)
            fresh.cells[size_t(i)].kind = RowsetLoader::None;
        fresh.index = row;
        fresh.used = 0;
        m_open = true;
        m_lastRow = row;
    }
    Row& open = m_rows[m_closed];
    if (m_learnt && column >= m_columns.size())
        cannotStream("a new column");
    if (size_t(column) >= open.cells.size())
        open.cells.resize(size_t(column) + 1);
    open.used = std::max(open.used, column + 1);
    return open.cells[size_t(column)];
}

void RowsetStream::closeRow()
{
    if (!m_open)
        return;
    if (m_learnt)
        checkKinds(m_rows[m_closed]);
    ++m_closed;
    m_open = false;
}

void RowsetStream::checkKinds(const Row& row)
{
    if (row.used > m_columns.size())
        cannotStream("a new column");
    const qint64 tableRow = row.index - (m_headerRow ? 1 : 0);
    if ((tableRow + 1) * m_columns.size() > RowsetLoader::maximumCells)
        cannotStream("too many cells");
    for (int column = 0; column < row.used; ++column) {
        const Kind kind = row.cells[size_t(column)].kind;
        if (kind != RowsetLoader::None && kind != m_kinds[size_t(column)])
            cannotStream("a column of several kinds");
    }
}

void RowsetStream::number(qint64 row, int column, double value)
{
    Cell& cell = cellAt(row, column);
    cell.kind = RowsetLoader::Number;
    cell.number = value;
}

void RowsetStream::text(qint64 row, int column, std::string_view utf8)
{
    // An empty text is no value, as an empty cell.
    if (utf8.empty()) {
        if (!inSheet(row, column))
            cannotStream("a cell outside the worksheet");
        return;
    }
    Cell& cell = cellAt(row, column);
    cell.kind = RowsetLoader::Text;
    cell.text.assign(utf8);
}

void RowsetStream::dateTime(qint64 row, int column, qint64 millisecondsSinceEpoch)
{
    Cell& cell = cellAt(row, column);
    cell.kind = RowsetLoader::Date;
    DateTimeText::formatMilliseconds(DateTimeText::roundedToTicks(millisecondsSinceEpoch), cell.text);
}

void RowsetStream::startScan()
{
    // The rows are read once: a statement that would scan them again runs as before.
    if (m_scanStarted)
        cannotStream("a second scan");
    m_scanStarted = true;
    m_tableRow = -1;
    next();
}

void RowsetStream::next()
{
    ++m_tableRow;
    const qint64 headingRows = m_headerRow ? 1 : 0;
    for (;;) {
        if (m_next < m_closed) {
            const Row& row = m_rows[m_next];
            if (row.index - headingRows == m_tableRow) {
                m_current = &row;
                ++m_next;
            } else {
                m_current = nullptr; // an empty row between rows
            }
            return;
        }
        if (m_ended) {
            m_atEnd = true;
            m_current = nullptr;
            return;
        }
        pull();
    }
}

void RowsetStream::result(sqlite3_context* context, int column) const
{
    if (!m_current || column >= m_current->used)
        return sqlite3_result_null(context);
    const Cell& cell = m_current->cells[size_t(column)];
    switch (cell.kind) {
    case RowsetLoader::Number:
        return sqlite3_result_double(context, cell.number);
    case RowsetLoader::Text:
    case RowsetLoader::Date:
        return sqlite3_result_text(context, cell.text.data(), int(cell.text.size()), SQLITE_TRANSIENT);
    case RowsetLoader::None:
        break;
    }
    sqlite3_result_null(context);
}

} // namespace glimora::engine
