#pragma once

#include "platform/IdleClock.h"

#include <functional>
#include <QEvent>
#include <QObject>

namespace glimora::platform {

// Idle clock from the input this program receives: an event filter on the application
// object notes the tick of every key, mouse, touch and wheel event. Used where the
// machine offers no idle time of its own (no X display, offscreen).
class InputFilterIdleClock : public QObject, public IdleClock
{
    Q_OBJECT
public:
    using TickSource = std::function<quint32()>;

    // Installs itself on the application object, if there is one. Counts as idle from
    // the moment it is made.
    explicit InputFilterIdleClock(TickSource ticks = &IdleClock::monotonicTick);
    ~InputFilterIdleClock() override;

    quint32 tickCount() const override;
    quint32 lastInputTick() const override;

    static bool isInputEvent(QEvent::Type type);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TickSource m_ticks;
    quint32 m_lastInput;
};

} // namespace glimora::platform
