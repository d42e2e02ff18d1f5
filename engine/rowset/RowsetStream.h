#pragma once

#include "engine/rowset/RowsetLoader.h"
#include "engine/storage/TableInfo.h"
#include "engine/workbook/BackgroundSheetReader.h"
#include "engine/workbook/SheetCells.h"

#include <memory>
#include <QString>
#include <vector>

struct sqlite3_context;

namespace glimora::engine {

class DatabaseConnection;

// The rows of a worksheet offered to one statement as a virtual table that reads them as
// the statement asks, so that an import writes each row once, straight into its target.
// A column's type depends on all its values, so the stream learns the columns from the
// first rows and reads on only while every later row agrees with them. When a row does not
// (a column turns to another kind, a new column, cells out of order, a damaged file, the
// limits), the scan fails and the caller must run the statement again over a RowsetLoader
// table, which gives the answer and the error exactly as before.
class RowsetStream : public SheetCells
{
public:
    // Rows read ahead to learn the columns.
    static constexpr int learningRows = 1000;

    RowsetStream(BackgroundSheetReader::Reader read, QString path, bool headerRow);
    ~RowsetStream() override;

    // Reads the first rows. False when the rows cannot stream: the sheet ends among them
    // (a small sheet is loaded as before), a column holds several kinds, the reading failed,
    // or the heading names cannot name a table's columns. Never throws.
    bool learnColumns();
    const QList<ColumnInfo>& columns() const { return m_columns; }

    // Creates temp.<table> over the rows; dropping the table and then unregister() undo it.
    void createTable(DatabaseConnection& database, const QString& table);
    void unregister(DatabaseConnection& database);

    void number(qint64 row, int column, double value) override;
    void text(qint64 row, int column, std::string_view utf8) override;
    void dateTime(qint64 row, int column, qint64 millisecondsSinceEpoch) override;

    // For the virtual table: a scan of the rows, once.
    void startScan();
    void next();
    bool atEnd() const { return m_atEnd; }
    qint64 rowNumber() const { return m_tableRow; }
    void result(sqlite3_context* context, int column) const;

private:
    using Kind = RowsetLoader::Kind;
    using Cell = RowsetLoader::Cell;
    struct Row
    {
        qint64 index = 0; // of the sheet
        int used = 0; // columns up to the last one with a value
        std::vector<Cell> cells;
    };

    Cell& cellAt(qint64 row, int column);
    void closeRow();
    void checkKinds(const Row& row);
    bool pull();

    std::unique_ptr<BackgroundSheetReader> m_reader;
    QString m_path;
    bool m_headerRow;
    bool m_learnt = false;
    bool m_ended = false; // the reader has handed on every cell
    QList<ColumnInfo> m_columns;
    std::vector<Kind> m_kinds;
    std::vector<Cell> m_header;
    // Rows read and not yet scanned: the closed ones first, then the one cells still arrive for.
    std::vector<Row> m_rows;
    size_t m_closed = 0;
    bool m_open = false;
    size_t m_next = 0; // the first closed row not yet scanned
    qint64 m_lastRow = -1; // of the sheet, the last one cells came for
    QString m_module;
    bool m_scanStarted = false;
    bool m_atEnd = false;
    qint64 m_tableRow = -1; // of the table, scanned now
    const Row* m_current = nullptr; // null: an empty row
};

} // namespace glimora::engine
