#include "platform/InputFilterIdleClock.h"

#include <QCoreApplication>
#include <QEvent>

namespace glimora::platform {

InputFilterIdleClock::InputFilterIdleClock(TickSource ticks)
    : m_ticks(std::move(ticks))
    , m_lastInput(m_ticks())
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);
}

InputFilterIdleClock::~InputFilterIdleClock()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

quint32 InputFilterIdleClock::tickCount() const
{
    return m_ticks();
}

quint32 InputFilterIdleClock::lastInputTick() const
{
    return m_lastInput;
}

bool InputFilterIdleClock::isInputEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

bool InputFilterIdleClock::eventFilter(QObject* watched, QEvent* event)
{
    if (isInputEvent(event->type()))
        m_lastInput = m_ticks();
    return QObject::eventFilter(watched, event);
}

} // namespace glimora::platform
