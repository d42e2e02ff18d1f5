#include "ui/MainScreen.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace glimora::ui {

namespace {

QPointer<QWidget>& pointer()
{
    static QPointer<QWidget> screen;
    return screen;
}

} // namespace

QWidget* MainScreen::get()
{
    return pointer();
}

void MainScreen::set(QWidget* screen)
{
    pointer() = screen;
}

void MainScreen::postCloseRequest()
{
    if (QWidget* screen = pointer())
        QCoreApplication::postEvent(screen, new QCloseEvent);
}

} // namespace glimora::ui
