#include "engine/workbook/SheetTableBuilder.h"

#include <algorithm>

namespace glimora::engine {

using glimora::data::Variant;

namespace {

QString headerName(const Variant& cell, int column)
{
    switch (cell.kind()) {
    case Variant::Kind::String:
        if (!cell.toString().isEmpty())
            return cell.toString();
        break;
    case Variant::Kind::Double:
        return QString::number(cell.toDouble(), 'g', 15);
    case Variant::Kind::DateTime:
        return cell.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    default:
        break;
    }
    return QStringLiteral("F%1").arg(column + 1);
}

} // namespace

SheetTableBuilder::SheetTableBuilder(QString path)
    : m_path(std::move(path))
{
}

void SheetTableBuilder::number(qint64 row, int column, double value)
{
    setCell(row, column, Variant::fromDouble(value));
}

void SheetTableBuilder::text(qint64 row, int column, std::string_view utf8)
{
    setCell(row, column, Variant::fromString(QString::fromUtf8(utf8.data(), qsizetype(utf8.size()))));
}

void SheetTableBuilder::dateTime(qint64 row, int column, qint64 millisecondsSinceEpoch)
{
    setCell(
        row, column, Variant::fromDateTime(QDateTime::fromMSecsSinceEpoch(millisecondsSinceEpoch, Qt::UTC)));
}

void SheetTableBuilder::setCell(qint64 row, int column, Variant value)
{
    if (!inSheet(row, column))
        throw WorkbookError::damaged(m_path, QStringLiteral("a cell lies outside the worksheet"));
    // An empty text is no value, as an empty cell.
    if (value.isNull() || value.isEmpty()
        || (value.kind() == Variant::Kind::String && value.toString().isEmpty()))
        return;
    if (row >= m_rows.size())
        m_rows.resize(row + 1);
    QList<Variant>& cells = m_rows[row];
    if (column >= cells.size()) {
        m_storedCells += column + 1 - cells.size();
        if (m_storedCells > maximumCells)
            throw WorkbookError::tooLarge(m_path, QStringLiteral("more than %1 cells").arg(maximumCells));
        cells.resize(column + 1, Variant::null());
    }
    cells[column] = std::move(value);
}

WorkbookTable SheetTableBuilder::finish(bool headerRow)
{
    // Rows only ever hold cells up to their last value, so their sizes tell the used range.
    while (!m_rows.isEmpty() && m_rows.constLast().isEmpty())
        m_rows.removeLast();
    // Even an empty sheet has its column F1, so that a statement naming it finds no rows
    // instead of failing.
    qsizetype columnCount = 1;
    for (const QList<Variant>& cells : std::as_const(m_rows))
        columnCount = std::max(columnCount, cells.size());
    if (qint64(columnCount) * m_rows.size() > maximumCells)
        throw WorkbookError::tooLarge(m_path, QStringLiteral("more than %1 cells").arg(maximumCells));

    WorkbookTable table;
    for (QList<Variant>& cells : m_rows)
        cells.resize(columnCount, Variant::null());
    for (int column = 0; column < columnCount; ++column) {
        if (headerRow && !m_rows.isEmpty())
            table.columnNames.append(headerName(m_rows.constFirst().at(column), column));
        else
            table.columnNames.append(QStringLiteral("F%1").arg(column + 1));
    }
    if (headerRow && !m_rows.isEmpty())
        m_rows.removeFirst();
    table.rows = std::move(m_rows);
    m_rows.clear();
    return table;
}

} // namespace glimora::engine
