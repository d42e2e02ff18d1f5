#include "ui/FocusMark.h"

#include "ui/KeyboardSetting.h"

#include <QPainter>
#include <QPen>
#include <QWidget>

namespace glimora::ui {

bool FocusMark::isByKey(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
        || reason == Qt::ShortcutFocusReason;
}

void FocusMark::paint(QPainter& painter, const QWidget& widget, bool focusedByKey)
{
    if (!focusedByKey || !widget.hasFocus() || !KeyboardSetting::enabled())
        return;
    constexpr int Width = 3;
    painter.save();
    // Orange reads on the blue, green and grey skins alike, and on a white page.
    painter.setPen(QPen(QColor(255, 140, 0), Width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(widget.rect().adjusted(Width / 2 + 1, Width / 2 + 1, -Width / 2 - 2, -Width / 2 - 2));
    painter.restore();
}

} // namespace glimora::ui
