#pragma once

#include <QString>

class QWidget;

namespace glimora::ui {

// The colours of the controls no skin draws: the push buttons of the tab band, the search entry
// and the drop-down lists. With the high-contrast set on they read at 7:1 or more, as the
// skinned captions do; off, the band's buttons keep their blue and the others their style's.
class ControlColours
{
public:
    // For a push button of the tab band; a checked one is drawn the other way round.
    static QString bandButtonStyleSheet();
    // An entry or a list, and a list's drop-down: black on white, hints dark grey, the selected
    // entry white on black. Set back to the style's colours once the set is switched off.
    static void applyTo(QWidget* control);
};

} // namespace glimora::ui
