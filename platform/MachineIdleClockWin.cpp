#include "platform/MachineIdleClock.h"

#include <windows.h>

namespace glimora::platform {

namespace {

class WindowsIdleClock : public IdleClock
{
public:
    quint32 tickCount() const override { return GetTickCount(); }

    quint32 lastInputTick() const override
    {
        LASTINPUTINFO info = {};
        info.cbSize = sizeof info;
        if (!GetLastInputInfo(&info))
            return GetTickCount();
        return info.dwTime;
    }
};

} // namespace

std::unique_ptr<IdleClock> createMachineIdleClock()
{
    return std::make_unique<WindowsIdleClock>();
}

} // namespace glimora::platform
