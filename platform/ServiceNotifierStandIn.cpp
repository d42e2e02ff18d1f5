#include "platform/ServiceNotifier.h"

// Built without libsystemd: there is no service manager to tell.
namespace glimora::platform {

bool ServiceNotifier::notify(const char*)
{
    return false;
}

std::chrono::microseconds ServiceNotifier::watchdogTimeout()
{
    return std::chrono::microseconds(0);
}

} // namespace glimora::platform
