#pragma once

#include "data/Recordset.h"

#include <QHash>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

class QFont;
class QPainter;

namespace glimora::query {

class FieldCatalogue;

// The paged table of the query screen, painted straight onto the screen: summary line,
// column captions and as many record rows as fit above the tab row. It starts at the
// cursor's record and leaves the cursor where it found it.
class ResultPage
{
public:
    // The layout settings of section "show", read again for every page.
    struct Geometry
    {
        int topBlank = 50;
        int nameMove = 25;
        int tabHead = 20;
        int titleHeight = 20; // f2h
        int summaryHeight = 15; // f3h
        int fBlank = 30;
        int rowHeight = 45;
        static Geometry fromSettings();

        // The report title's box, from x 0 to `right`.
        QRect titleBox(int right) const;
        // Rows whose bottom does not pass `bottom`.
        int rowsPerPage(int bottom) const;
    };

    // Where the last draw put the record rows; large text makes them taller than the settings'.
    struct DrawnRows
    {
        int top = 0;
        int height = 0;
        int count = 0;
        // The page's row, from 0, at height `y`; -1 above the rows or below the last one.
        int rowAt(int y) const;
    };
    DrawnRows drawnRows() const { return m_drawnRows; }

    ResultPage(const FieldCatalogue& catalogue, data::Recordset cursor, const QString& whereClause);

    // Draws everything below the title between `left` and `right` down to `bottom`, the top of
    // the tab row. Returns the page step: the rows drawn, or the page's capacity when the page
    // reached the end of the records; -1 when there was no record and the empty message was
    // drawn instead.
    int draw(QPainter& painter, int left, int right, int bottom);

    // What the page shows of the cursor's fields: the summary of the values that the condition
    // fixes, and the width of each field's column (0 for a field not shown).
    struct Columns
    {
        QString summary;
        QList<int> widths;
        QStringList captions;
    };
    Columns columns() const;

    // The display text of one field of the cursor's record, by name when one is given,
    // otherwise by position.
    static QString FormatCellValue(const data::Recordset& cursor, int position, const QString& name);
    QString ColumnDisplayName(const QString& name) const;

    // The lines a cell of `width` and `height` shows of `text`: the text on one line when it
    // fits, otherwise wrapped onto the lines that the height holds, the last one elided.
    static QStringList cellLines(const QString& text, const QFont& font, int width, int height);

    // Where each column of `widths` stands on a record's row: on which of the record's lines
    // (its band), from which x and how wide. Ordinary, the columns stand side by side at their
    // widths, as far right as they go. In large text they are `scale` times as wide and a
    // column that would pass `pageWidth` starts the record's next line: fewer columns on a
    // line and more lines to a record, rather than a cut.
    struct Place
    {
        int band = 0;
        int x = 0;
        int width = 0;
    };
    struct Flow
    {
        QList<Place> places; // one for each of `widths`; width 0 for a column not shown
        int bands = 1;
    };
    static Flow flow(const QList<int>& widths, double scale, int pageWidth, bool wrap);

    // Large text: cells, captions and messages in enlarged fonts (ui/LargeText), the columns
    // and rows as much larger, flowed onto as many lines as the page's width needs.
    void setLargeText(bool on) { m_largeText = on; }

    static QString emptyMessage();
    // What an empty page says instead, for a search that found nothing.
    void setEmptyMessage(const QString& text) { m_emptyMessage = text; }
    // Columns the condition holds to any of several values, with those values as the lists show
    // them ("A 或 B"): the summary names them, and their column stays in the table.
    void setSeveralValues(const QHash<QString, QString>& texts) { m_severalValues = texts; }

private:
    const FieldCatalogue& m_catalogue;
    data::Recordset m_cursor;
    QString m_whereClause;
    QString m_emptyMessage = emptyMessage();
    QHash<QString, QString> m_severalValues;
    bool m_largeText = false;
    DrawnRows m_drawnRows;
};

} // namespace glimora::query
