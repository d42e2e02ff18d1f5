#include "engine/rowset/RowsetLoader.h"

#include "engine/storage/DatabaseConnection.h"
#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/Translator.h"
#include "engine/values/DateTimeText.h"

#include <sqlite3.h>
#include <stdexcept>

namespace glimora::engine {

using Base = SqlType::Base;

RowsetLoader::RowsetLoader(DatabaseConnection& database, QString table, QString path, bool headerRow)
    : m_database(database)
    , m_table(std::move(table))
    , m_path(std::move(path))
    , m_headerRow(headerRow)
{
    // Even an empty sheet has its column F1, so that a statement naming it finds no rows
    // instead of failing.
    m_database.execute(QStringLiteral("CREATE TEMP TABLE %1(%2)").arg(m_table, columnName(0)));
    m_columns = 1;
    m_kinds.resize(1, None);
    m_insert = std::make_unique<SqliteStatement>(
        m_database, QStringLiteral("INSERT INTO temp.%1 VALUES(?)").arg(m_table));
    m_insertEmpty = std::make_unique<SqliteStatement>(
        m_database, QStringLiteral("INSERT INTO temp.%1 DEFAULT VALUES").arg(m_table));
}

RowsetLoader::~RowsetLoader() = default;

QString RowsetLoader::columnName(int column) const
{
    // Under a heading row the names come last; until then they must not meet any heading.
    return m_headerRow ? QStringLiteral("\"__rowset_column_%1\"").arg(column + 1)
                       : QStringLiteral("\"F%1\"").arg(column + 1);
}

void RowsetLoader::tooLarge() const
{
    throw std::runtime_error(QStringLiteral("The workbook '%1' is too large to read (more than %2 cells).")
                                 .arg(m_path)
                                 .arg(maximumCells)
                                 .toStdString());
}

RowsetLoader::Cell& RowsetLoader::cellAt(qint64 row, int column)
{
    if (!inSheet(row, column))
        throw std::runtime_error(QStringLiteral(
            "The workbook '%1' is damaged and cannot be read (a cell lies outside the worksheet)")
                                     .arg(m_path)
                                     .toStdString());
    if (m_headerRow && row == 0) {
        if (size_t(column) >= m_header.size())
            m_header.resize(size_t(column) + 1);
        return m_header[size_t(column)];
    }
    if (row != m_row) {
        writeRow();
        m_row = row;
    }
    if (size_t(column) >= m_cells.size())
        m_cells.resize(size_t(column) + 1);
    m_usedCells = std::max(m_usedCells, column + 1);
    return m_cells[size_t(column)];
}

void RowsetLoader::number(qint64 row, int column, double value)
{
    Cell& cell = cellAt(row, column);
    cell.kind = Number;
    cell.number = value;
}

void RowsetLoader::text(qint64 row, int column, std::string_view utf8)
{
    // An empty text is no value, as an empty cell.
    if (utf8.empty()) {
        if (!inSheet(row, column))
            cellAt(row, column);
        return;
    }
    Cell& cell = cellAt(row, column);
    cell.kind = Text;
    cell.text.assign(utf8);
}

void RowsetLoader::dateTime(qint64 row, int column, qint64 millisecondsSinceEpoch)
{
    Cell& cell = cellAt(row, column);
    cell.kind = Date;
    DateTimeText::formatMilliseconds(DateTimeText::roundedToTicks(millisecondsSinceEpoch), cell.text);
}

void RowsetLoader::widen(int columns)
{
    if (columns <= m_columns)
        return;
    for (int column = m_columns; column < columns; ++column)
        m_database.execute(
            QStringLiteral("ALTER TABLE temp.%1 ADD COLUMN %2").arg(m_table, columnName(column)));
    m_columns = columns;
    m_kinds.resize(size_t(columns), None);
    QString marks = QStringLiteral("?");
    for (int column = 1; column < columns; ++column)
        marks += QStringLiteral(",?");
    m_insert.reset();
    m_insert = std::make_unique<SqliteStatement>(
        m_database, QStringLiteral("INSERT INTO temp.%1 VALUES(%2)").arg(m_table, marks));
}

void RowsetLoader::bind(sqlite3_stmt* statement, int index, const Cell& cell)
{
    switch (cell.kind) {
    case Number:
        sqlite3_bind_double(statement, index, cell.number);
        break;
    case Text:
    case Date:
        // The cell keeps its text until the statement has run.
        sqlite3_bind_text(statement, index, cell.text.data(), int(cell.text.size()), SQLITE_STATIC);
        break;
    case None:
        sqlite3_bind_null(statement, index);
        break;
    }
}

void RowsetLoader::writeRow()
{
    if (m_usedCells == 0)
        return;
    widen(m_usedCells);
    const qint64 tableRow = m_row - (m_headerRow ? 1 : 0);
    if (tableRow < m_rowsWritten) {
        // A cell of a row written before: the sheet listed its cells out of order.
        for (int column = 0; column < m_usedCells; ++column) {
            if (m_cells[size_t(column)].kind != None)
                writeLateCell(tableRow, column, m_cells[size_t(column)]);
        }
    } else {
        if ((tableRow + 1) * m_columns > maximumCells)
            tooLarge();
        for (; m_rowsWritten < tableRow; ++m_rowsWritten) {
            m_insertEmpty->step();
            sqlite3_reset(m_insertEmpty->handle());
        }
        sqlite3_stmt* insert = m_insert->handle();
        for (int column = 0; column < m_columns; ++column) {
            if (column >= m_usedCells) {
                sqlite3_bind_null(insert, column + 1);
                continue;
            }
            const Cell& cell = m_cells[size_t(column)];
            bind(insert, column + 1, cell);
            m_kinds[size_t(column)] = Kind(m_kinds[size_t(column)] | cell.kind);
        }
        m_insert->step();
        sqlite3_reset(insert);
        ++m_rowsWritten;
    }
    for (int column = 0; column < m_usedCells; ++column)
        m_cells[size_t(column)].kind = None;
    m_usedCells = 0;
}

void RowsetLoader::writeLateCell(qint64 tableRow, int column, const Cell& cell)
{
    SqliteStatement update(
        m_database, QStringLiteral("UPDATE temp.%1 SET %2=? WHERE rowid=?").arg(m_table, columnName(column)));
    bind(update.handle(), 1, cell);
    update.bindInt(2, tableRow + 1);
    update.step();
    m_kinds[size_t(column)] = Kind(m_kinds[size_t(column)] | cell.kind);
}

QString RowsetLoader::headingName(const Cell& cell, int column)
{
    switch (cell.kind) {
    case Text:
        return QString::fromUtf8(cell.text.data(), qsizetype(cell.text.size()));
    case Number:
        return QString::number(cell.number, 'g', 15);
    case Date:
        // Without the milliseconds.
        return QString::fromLatin1(cell.text.data(), qsizetype(std::min<size_t>(cell.text.size(), 19)));
    case None:
        break;
    }
    return QStringLiteral("F%1").arg(column + 1);
}

QString RowsetLoader::headerName(int column) const
{
    return headingName(size_t(column) < m_header.size() ? m_header[size_t(column)] : Cell(), column);
}

SqlType RowsetLoader::typeOf(Kind kind)
{
    if (kind == Text)
        return SqlType::of(Base::NVarChar, 255);
    if (kind == Date)
        return SqlType::of(Base::DateTime);
    if (kind == Number)
        return SqlType::of(Base::Float, 0, 53);
    return SqlType();
}

QList<ColumnInfo> RowsetLoader::finish()
{
    writeRow();
    m_insert.reset();
    m_insertEmpty.reset();
    widen(int(std::max<size_t>(m_header.size(), 1)));
    if (m_rowsWritten * m_columns > maximumCells)
        tooLarge();

    QList<ColumnInfo> columns;
    for (int column = 0; column < m_columns; ++column) {
        const QString name = m_headerRow ? headerName(column) : QStringLiteral("F%1").arg(column + 1);
        if (m_headerRow)
            m_database.execute(QStringLiteral("ALTER TABLE temp.%1 RENAME COLUMN %2 TO %3")
                                   .arg(m_table, columnName(column), Translator::quoteName(name)));
        const Kind kind = m_kinds[size_t(column)];
        SqlType type = typeOf(kind);
        if (kind != None && kind != Text && kind != Date && kind != Number) {
            // Several kinds: every value as the cell holds it. Dates are stored as text already.
            type = SqlType::of(Base::NVarChar, 255);
            if ((kind & Number) != 0) {
                const QString sqlName = Translator::quoteName(name);
                m_database.execute(
                    QStringLiteral("UPDATE temp.%1 SET %2=glimora_cell_text(%2) WHERE typeof(%2)='real'")
                        .arg(m_table, m_headerRow ? sqlName : columnName(column)));
            }
        }
        columns.append({ name, type, false, false, false });
    }
    return columns;
}

} // namespace glimora::engine
