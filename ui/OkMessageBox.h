#pragma once

#include <QMessageBox>
#include <QStringList>

namespace glimora::ui {

// The one message box of the system: warning icon, an OK button only, the application's
// title as caption. Tests inject the answer so that a flow runs without a person; every
// text is recorded either way.
class OkMessageBox
{
public:
    // Every text shown goes to the event log, with the server's error number when known.
    static QMessageBox::StandardButton show(QWidget* parent, const QString& text, int errorNumber = 0);
    // The same box for a job done: logged as a notice, not counted among the station's errors.
    static QMessageBox::StandardButton inform(QWidget* parent, const QString& text);
    // The one question of the system, asked before a record is deleted: Yes and No, No by
    // default. Injected answers and recorded texts are shared with show().
    static bool askYesNo(QWidget* parent, const QString& text);

    // Answers the next box with `answer` without showing it.
    static void setNextAnswer(QMessageBox::StandardButton answer);
    // Answers every box with `answer` until called with QMessageBox::NoButton.
    static void setAutoAnswer(QMessageBox::StandardButton answer);

    // Closes every box still open, a message as its OK, a question as its No (nothing is
    // deleted unasked); false when none was open.
    static bool closeOpen();

    static QStringList shownTexts();
    static void clearShownTexts();

private:
    static QMessageBox::StandardButton showBox(QWidget* parent, const QString& text);
};

} // namespace glimora::ui
