#pragma once

#include "data/Variant.h"
#include "engine/workbook/SheetCells.h"
#include "engine/workbook/WorkbookReader.h"

#include <QList>
#include <QString>

namespace glimora::engine {

// Collects the non-empty cells of one worksheet, in any order, and turns them into the
// rectangular table that a reader returns: trailing empty rows and columns dropped,
// short rows padded with NULL, columns named F1..Fn or after the header row.
class SheetTableBuilder : public SheetCells
{
public:
    // Padding a sparse sheet could take far more memory than its file; past this many
    // cells the workbook is refused.
    static constexpr qint64 maximumCells = 10'000'000;

    explicit SheetTableBuilder(QString path);

    // row and column count from 0. Throws WorkbookError beyond the limits above.
    void setCell(qint64 row, int column, glimora::data::Variant value);
    void number(qint64 row, int column, double value) override;
    void text(qint64 row, int column, std::string_view utf8) override;
    void dateTime(qint64 row, int column, qint64 millisecondsSinceEpoch) override;

    WorkbookTable finish(bool headerRow);

private:
    QString m_path;
    QList<QList<glimora::data::Variant>> m_rows;
    qint64 m_storedCells = 0;
};

} // namespace glimora::engine
