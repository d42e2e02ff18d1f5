#include "ui/EntryTyping.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace glimora::ui::EntryTyping {

namespace {

int keyCode(QChar c)
{
    const char l = c.toLower().toLatin1();
    if (l >= 'a' && l <= 'z')
        return Qt::Key_A + (l - 'a');
    if (l >= '0' && l <= '9')
        return Qt::Key_0 + (l - '0');
    // The printable Latin-1 keys have the character's own code.
    return l > ' ' ? int(l) : Qt::Key_Space;
}

void sendKey(QWidget* target, int key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
}

} // namespace

QLineEdit* lineEditOf(QWidget* entry)
{
    if (auto* edit = qobject_cast<QLineEdit*>(entry))
        return edit;
    if (auto* combo = qobject_cast<QComboBox*>(entry))
        return combo->lineEdit();
    return nullptr;
}

void type(QWidget* entry, const QString& text)
{
    QLineEdit* edit = lineEditOf(entry);
    if (!edit)
        return;
    for (const QChar c : text)
        sendKey(edit, keyCode(c), QString(c));
}

void commit(QWidget* entry, const QString& text)
{
    QLineEdit* edit = lineEditOf(entry);
    if (!edit || text.isEmpty())
        return;
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(edit, &event);
}

void backspace(QWidget* entry)
{
    if (QLineEdit* edit = lineEditOf(entry))
        sendKey(edit, Qt::Key_Backspace, QString());
}

void clear(QWidget* entry)
{
    QLineEdit* edit = lineEditOf(entry);
    if (edit && !edit->isReadOnly())
        edit->clear();
}

} // namespace glimora::ui::EntryTyping
