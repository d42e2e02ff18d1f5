#pragma once

class QPainter;
class QWidget;

namespace glimora::ui {

// The mark of the control that keys act on: a ring inside its edge, in a colour that stands
// out from the skins. Drawn only with the keyboard setting on.
class FocusMark
{
public:
    static void paint(QPainter& painter, const QWidget& widget);
};

} // namespace glimora::ui
