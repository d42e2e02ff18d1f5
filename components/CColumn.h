#pragma once

#include <QPointer>
#include <QString>

namespace glimora::components {

class CDataGrid;

// One column of a data grid, addressed by its 0-based index in select-list order. Like a
// dispatch pointer it only refers to the grid; a column whose grid is gone raises the
// invalid-pointer error.
class CColumn
{
public:
    CColumn(CDataGrid* grid, int index);

    int ColIndex() const { return m_index; }

    QString Caption() const;
    void SetCaption(const QString& caption);
    // In pixels; a catalogue width is taken as it is, rounded to whole pixels. A hidden
    // column reads 0 and gets its width back when shown.
    float Width() const;
    void SetWidth(float width);
    // A locked column refuses edits.
    bool Locked() const;
    void SetLocked(bool locked);
    bool Visible() const;
    void SetVisible(bool visible);

private:
    CDataGrid& grid() const;

    QPointer<CDataGrid> m_grid;
    int m_index;
};

} // namespace glimora::components
