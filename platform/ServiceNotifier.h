#pragma once

#include <chrono>

namespace glimora::platform {

// The service manager's notification socket. Outside a unit of Type=notify nothing
// listens, and every call does nothing.
class ServiceNotifier
{
public:
    // Sends one state, such as "READY=1" or "WATCHDOG=1"; false when nobody listens.
    static bool notify(const char* state);
    // Within what time the manager expects each "WATCHDOG=1", zero when it expects none.
    static std::chrono::microseconds watchdogTimeout();
};

} // namespace glimora::platform
