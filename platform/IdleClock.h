#pragma once

#include <QtGlobal>

namespace glimora::platform {

// The machine's millisecond tick count and the tick of its last input, as the query
// screen's idle check reads them. Both are 32-bit and wrap around after about 49.7 days.
class IdleClock
{
public:
    virtual ~IdleClock() = default;

    virtual quint32 tickCount() const = 0;
    // The tick of the last key, mouse button, mouse movement, touch or wheel input.
    virtual quint32 lastInputTick() const = 0;

    // Unsigned subtraction, so the result stays right across the wrap-around.
    quint32 idleMilliseconds() const;

    // The clock of this machine, or the one a test put in its place. Ask for it once the
    // application object exists, so that the fallback input filter can be installed.
    static IdleClock& current();
    // nullptr returns to the machine's clock. The caller keeps ownership.
    static void setCurrent(IdleClock* clock);

    // Milliseconds of a monotonic clock, cut to 32 bits.
    static quint32 monotonicTick();
};

} // namespace glimora::platform
