#include "ui/OkMessageBox.h"

#include "platform/EventLog.h"

#include "ui/ApplicationTitle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QList>
#include <QPointer>
#include <QSpacerItem>

namespace glimora::ui {

namespace {

struct Injected
{
    QMessageBox::StandardButton next = QMessageBox::NoButton;
    QMessageBox::StandardButton automatic = QMessageBox::NoButton;
    QStringList texts;
    QList<QPointer<QMessageBox>> open;
};

Injected& injected()
{
    static Injected value;
    return value;
}

// A window manager cuts a title that does not fit beside its buttons ("gl…ra"): the box is at
// least as wide as its title in a bold title-bar font, with room for the icon and buttons.
void fitTitle(QMessageBox& box)
{
    QFont font = QApplication::font();
    font.setBold(true);
    const int width = QFontMetrics(font).horizontalAdvance(box.windowTitle()) * 3 / 2 + 180;
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid)
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
            0, 1, grid->columnCount());
}

int runOpen(QMessageBox& box)
{
    QList<QPointer<QMessageBox>>& open = injected().open;
    open.append(&box);
    const int result = box.exec();
    open.removeAll(&box);
    return result;
}

} // namespace

QMessageBox::StandardButton OkMessageBox::show(QWidget* parent, const QString& text, int errorNumber)
{
    platform::EventLog::write(platform::EventLog::Event::MessageShown, text, errorNumber);
    return showBox(parent, text);
}

QMessageBox::StandardButton OkMessageBox::inform(QWidget* parent, const QString& text)
{
    platform::EventLog::write(platform::EventLog::Event::Notice, text);
    return showBox(parent, text);
}

QMessageBox::StandardButton OkMessageBox::showBox(QWidget* parent, const QString& text)
{
    Injected& state = injected();
    state.texts.append(text);
    if (state.next != QMessageBox::NoButton) {
        const QMessageBox::StandardButton answer = state.next;
        state.next = QMessageBox::NoButton;
        return answer;
    }
    if (state.automatic != QMessageBox::NoButton)
        return state.automatic;

    QMessageBox box(QMessageBox::Warning, applicationTitle(), text, QMessageBox::Ok, parent);
    // Messages quote what people typed; markup there would make the box load the files it names.
    box.setTextFormat(Qt::PlainText);
    fitTitle(box);
    runOpen(box);
    return QMessageBox::Ok;
}

bool OkMessageBox::askYesNo(QWidget* parent, const QString& text)
{
    Injected& state = injected();
    state.texts.append(text);
    if (state.next != QMessageBox::NoButton) {
        const QMessageBox::StandardButton answer = state.next;
        state.next = QMessageBox::NoButton;
        return answer == QMessageBox::Yes;
    }
    if (state.automatic != QMessageBox::NoButton)
        return state.automatic == QMessageBox::Yes;

    QMessageBox box(
        QMessageBox::Question, applicationTitle(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    fitTitle(box);
    return runOpen(box) == QMessageBox::Yes;
}

bool OkMessageBox::closeOpen()
{
    bool closed = false;
    const QList<QPointer<QMessageBox>> open = injected().open;
    for (const QPointer<QMessageBox>& box : open) {
        if (!box || !box->isVisible())
            continue;
        box->done(box->standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok);
        closed = true;
    }
    return closed;
}

void OkMessageBox::setNextAnswer(QMessageBox::StandardButton answer)
{
    injected().next = answer;
}

void OkMessageBox::setAutoAnswer(QMessageBox::StandardButton answer)
{
    injected().automatic = answer;
}

QStringList OkMessageBox::shownTexts()
{
    return injected().texts;
}

void OkMessageBox::clearShownTexts()
{
    injected().texts.clear();
}

} // namespace glimora::ui
