#include "ui/TabControl.h"

namespace glimora::ui {

TabControl::TabControl(QWidget* parent)
    : QTabBar(parent)
{
    setExpanding(false);
    setDrawBase(true);
    connect(this, &QTabBar::currentChanged, this, &TabControl::reportChange);
}

void TabControl::reportChange(int index)
{
    if (m_userAction)
        emit selectionChangedByUser(index);
}

void TabControl::mousePressEvent(QMouseEvent* event)
{
    m_userAction = true;
    QTabBar::mousePressEvent(event);
    m_userAction = false;
}

void TabControl::keyPressEvent(QKeyEvent* event)
{
    m_userAction = true;
    QTabBar::keyPressEvent(event);
    m_userAction = false;
}

void TabControl::wheelEvent(QWheelEvent* event)
{
    m_userAction = true;
    QTabBar::wheelEvent(event);
    m_userAction = false;
}

} // namespace glimora::ui
