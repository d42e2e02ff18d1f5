#pragma once

#include "engine/storage/TableInfo.h"
#include "engine/workbook/SheetCells.h"

#include <memory>
#include <QString>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace glimora::engine {

class DatabaseConnection;
class SqliteStatement;

// Writes the cells of a worksheet, as a reader hands them on, into a temporary table with a
// column per sheet column, a row at a time through one prepared statement, so that memory does
// not grow with the sheet. Shapes the table as the Jet provider does: columns F1..Fn, or named
// by the first row's cells (that row is then no row); empty rows between rows kept, trailing
// ones dropped. A column takes a type when all its values agree; a column of several kinds is
// text, each value written as the cell holds it. Throws std::runtime_error naming the file
// past the limits; the caller keeps the writes inside a savepoint.
class RowsetLoader : public SheetCells
{
public:
    // Padding a sparse sheet could take far more room than its file; past this many cells
    // the workbook is refused.
    static constexpr qint64 maximumCells = 10'000'000;

    // table: the quoted name of a table in temp that does not exist yet.
    RowsetLoader(DatabaseConnection& database, QString table, QString path, bool headerRow);
    ~RowsetLoader() override;

    void number(qint64 row, int column, double value) override;
    void text(qint64 row, int column, std::string_view utf8) override;
    void dateTime(qint64 row, int column, qint64 millisecondsSinceEpoch) override;

    // After the last cell: the table's columns as a client sees them.
    QList<ColumnInfo> finish();

    enum Kind : quint8 { None = 0, Number = 1, Text = 2, Date = 4 };
    struct Cell
    {
        Kind kind = None;
        double number = 0;
        std::string text; // a text, or a date as the engine stores it
    };
    // The type of a column whose values are all of one kind (or none).
    static SqlType typeOf(Kind kind);
    // The name a heading cell gives its column.
    static QString headingName(const Cell& cell, int column);

private:
    Cell& cellAt(qint64 row, int column);
    void writeRow();
    void writeLateCell(qint64 tableRow, int column, const Cell& cell);
    void bind(sqlite3_stmt* statement, int index, const Cell& cell);
    void widen(int columns);
    QString columnName(int column) const;
    QString headerName(int column) const;
    [[noreturn]] void tooLarge() const;

    DatabaseConnection& m_database;
    QString m_table;
    QString m_path;
    bool m_headerRow;
    int m_columns = 0; // of the table
    std::unique_ptr<SqliteStatement> m_insert;
    std::unique_ptr<SqliteStatement> m_insertEmpty;
    std::vector<Kind> m_kinds; // the kinds stored in each column
    std::vector<Cell> m_header;
    qint64 m_row = -1; // of the sheet, whose cells are gathered
    std::vector<Cell> m_cells;
    int m_usedCells = 0; // columns of m_cells up to the last one with a value
    qint64 m_rowsWritten = 0;
};

} // namespace glimora::engine
