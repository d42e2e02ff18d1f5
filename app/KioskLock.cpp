#include "app/KioskLock.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTouchEvent>
#include <QWindow>

namespace glimora::app {

KioskLock::KioskLock(QWidget& screen, std::function<void()> administratorCalled, std::function<qint64()> now)
    : m_screen(&screen)
    , m_administratorCalled(std::move(administratorCalled))
    , m_taps(std::move(now))
{
    qApp->installEventFilter(this);
}

KioskLock::~KioskLock()
{
    qApp->removeEventFilter(this);
}

bool KioskLock::leavesTheScreen(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers modifiers
        = key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    switch (key.key()) {
    case Qt::Key_Escape:
        return true;
    case Qt::Key_F4:
        return modifiers.testFlag(Qt::AltModifier);
    case Qt::Key_Backspace:
        return modifiers.testFlag(Qt::ControlModifier) && modifiers.testFlag(Qt::AltModifier);
    default:
        return false;
    }
}

bool KioskLock::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        return leavesTheScreen(*static_cast<QKeyEvent*>(event));
    case QEvent::Close:
        // The window system's request reaches the widget as a spontaneous event; the program's
        // own closing (a dialog's done() too) does not, though it passes its window as one.
        if (event->spontaneous() && watched->isWidgetType()) {
            event->ignore();
            return true;
        }
        return false;
    case QEvent::ContextMenu:
        return true;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // A press Qt makes from a touch was counted as the touch.
        if (mouse->source() != Qt::MouseEventSynthesizedByQt)
            pressed(watched, mouse->globalPosition(), mouse->timestamp());
        return false;
    }
    case QEvent::TouchBegin: {
        auto* touch = static_cast<QTouchEvent*>(event);
        if (!touch->points().isEmpty())
            pressed(watched, touch->points().first().globalPosition(), touch->timestamp());
        return false;
    }
    default:
        return false;
    }
}

void KioskLock::pressed(QObject* receiver, const QPointF& globalPosition, quint64 timestamp)
{
    if (!m_screen || timestamp == m_lastPress)
        return;
    // A touch reaches the screen's window first, and its widgets only when they take touches.
    // Taps on a box or list over the screen are no taps on its corner.
    auto* widget = qobject_cast<QWidget*>(receiver);
    const bool onTheScreen = widget
        ? widget->window() == m_screen
        : receiver->isWindowType() && receiver == static_cast<QObject*>(m_screen->windowHandle());
    if (!onTheScreen)
        return;
    m_lastPress = timestamp;
    if (m_taps.tap(m_screen->mapFromGlobal(globalPosition).toPoint()))
        QMetaObject::invokeMethod(
            this, [this] { m_administratorCalled(); }, Qt::QueuedConnection);
}

} // namespace glimora::app
