#include "platform/MachineIdleClock.h"

#include "platform/InputFilterIdleClock.h"
#include "platform/X11IdleClock.h"

namespace glimora::platform {

std::unique_ptr<IdleClock> createMachineIdleClock()
{
    // The X server sees input to every program; our own filter only input to us.
    if (auto x11 = X11IdleClock::open())
        return x11;
    return std::make_unique<InputFilterIdleClock>();
}

} // namespace glimora::platform
