#include "platform/IdleClock.h"

#include "platform/MachineIdleClock.h"

#include <chrono>

namespace glimora::platform {

namespace {

IdleClock* g_override = nullptr;

} // namespace

quint32 IdleClock::idleMilliseconds() const
{
    // Last input first: an input between the two reads then only shortens the idle time
    // instead of making it wrap to almost 50 days.
    const quint32 lastInput = lastInputTick();
    const quint32 now = tickCount();
    return now - lastInput;
}

IdleClock& IdleClock::current()
{
    if (g_override)
        return *g_override;
    // Lives for the whole run, like the machine it describes.
    static IdleClock* machine = createMachineIdleClock().release();
    return *machine;
}

void IdleClock::setCurrent(IdleClock* clock)
{
    g_override = clock;
}

quint32 IdleClock::monotonicTick()
{
    const auto elapsed = std::chrono::steady_clock::now().time_since_epoch();
    return quint32(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

} // namespace glimora::platform
