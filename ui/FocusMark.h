#pragma once

#include <Qt>

class QPainter;
class QWidget;

namespace glimora::ui {

// The mark of the control that keys act on: a ring inside its edge, in a colour that stands
// out from the skins. Drawn only with the keyboard setting on, and only on a control that
// keys brought focus to: a screen just opened or tapped shows no ring.
class FocusMark
{
public:
    static void paint(QPainter& painter, const QWidget& widget, bool focusedByKey);
    static bool isByKey(Qt::FocusReason reason);
};

} // namespace glimora::ui
