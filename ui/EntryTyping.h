#pragma once

#include <QString>

class QWidget;
class QLineEdit;

namespace glimora::ui {

// Typing into an entry the way a hardware keyboard or an input method does, so that the
// entry's own limits and checks and the screen's key handling see nothing different. The
// entry is a line edit or an editable combo box.
namespace EntryTyping {

QLineEdit* lineEditOf(QWidget* entry);
// Key presses and releases of each character.
void type(QWidget* entry, const QString& text);
// An input method's commit: a chosen Chinese word.
void commit(QWidget* entry, const QString& text);
void backspace(QWidget* entry);
void clear(QWidget* entry);

} // namespace EntryTyping

} // namespace glimora::ui
