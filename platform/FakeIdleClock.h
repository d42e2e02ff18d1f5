#pragma once

#include "platform/IdleClock.h"

namespace glimora::platform {

// An idle clock whose ticks the test sets. Install it with IdleClock::setCurrent().
class FakeIdleClock : public IdleClock
{
public:
    quint32 tickCount() const override { return m_tick; }
    quint32 lastInputTick() const override { return m_lastInput; }

    void setTickCount(quint32 tick) { m_tick = tick; }
    void setLastInputTick(quint32 tick) { m_lastInput = tick; }
    // Lets time pass, wrapping around like the real tick count.
    void advance(quint32 milliseconds) { m_tick += milliseconds; }
    // An input now.
    void touch() { m_lastInput = m_tick; }

private:
    quint32 m_tick = 0;
    quint32 m_lastInput = 0;
};

} // namespace glimora::platform
