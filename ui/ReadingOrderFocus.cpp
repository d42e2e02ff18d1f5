#include "ui/ReadingOrderFocus.h"

#include <QWidget>

#include <algorithm>

namespace glimora::ui {

namespace {

bool takesTabFocus(const QWidget& widget)
{
    return (widget.focusPolicy() & Qt::TabFocus) && widget.isEnabled() && widget.isVisible();
}

// The screen's control that holds `widget` (a list's text field belongs to its list).
QWidget* controlHolding(QWidget& screen, QWidget* widget)
{
    while (widget && widget->parentWidget() != &screen)
        widget = widget->parentWidget();
    return widget;
}

} // namespace

QWidget* ReadingOrderFocus::next(QWidget& screen, bool forward)
{
    QList<QWidget*> controls;
    for (QWidget* child : screen.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (takesTabFocus(*child))
            controls.append(child);
    }
    if (controls.isEmpty())
        return nullptr;
    // Controls whose tops lie within a small control's half height of a row's first share it.
    constexpr int RowTolerance = 8;
    std::stable_sort(
        controls.begin(), controls.end(), [](const QWidget* a, const QWidget* b) { return a->y() < b->y(); });
    QList<QWidget*> ordered;
    for (qsizetype rowStart = 0; rowStart < controls.size();) {
        qsizetype rowEnd = rowStart + 1;
        while (rowEnd < controls.size() && controls[rowEnd]->y() - controls[rowStart]->y() <= RowTolerance)
            ++rowEnd;
        QList<QWidget*> row = controls.mid(rowStart, rowEnd - rowStart);
        std::stable_sort(
            row.begin(), row.end(), [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
        ordered += row;
        rowStart = rowEnd;
    }
    const qsizetype at = ordered.indexOf(controlHolding(screen, screen.focusWidget()));
    if (at < 0)
        return forward ? ordered.first() : ordered.last();
    const qsizetype count = ordered.size();
    return ordered[(at + (forward ? 1 : count - 1)) % count];
}

} // namespace glimora::ui
