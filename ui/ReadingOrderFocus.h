#pragma once

class QWidget;

namespace glimora::ui {

// Tab order as a reader scans the screen: row by row from the top, left to right in a row,
// over the controls shown now. The screens move and show their controls as pages change,
// so the order is taken afresh at every key rather than fixed when the controls are made.
class ReadingOrderFocus
{
public:
    // The control after (or before) the one holding focus among the screen's own controls
    // that take focus by Tab, wrapping round; null when there is none.
    static QWidget* next(QWidget& screen, bool forward);
};

} // namespace glimora::ui
