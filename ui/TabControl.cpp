#include "ui/TabControl.h"

namespace glimora::ui {

TabControl::TabControl(QWidget* parent)
    : QTabBar(parent)
{
    setExpanding(false);
    setDrawBase(true);
    // Compact tabs in the station's colours, so that all eight tabs of the configuration
    // screen fit its template width without arrows.
    setUsesScrollButtons(false);
    setStyleSheet(
        QStringLiteral("QTabBar::tab { background: #EAF2FC; color: #0B254A; border: 1px solid #B8CDEA;"
                       " border-bottom: none; border-top-left-radius: 4px; border-top-right-radius: 4px;"
                       " padding: 3px 7px; margin-right: 1px; }"
                       "QTabBar::tab:selected { background: white; color: #174E9C; }"
                       "QTabBar::tab:disabled { color: #8A94A0; }"));
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
