#include "platform/ServiceNotifier.h"

#include <QString>

#include <systemd/sd-daemon.h>
#include <unistd.h>

namespace glimora::platform {

bool ServiceNotifier::notify(const char* state)
{
    return sd_notify(0, state) > 0;
}

std::chrono::microseconds ServiceNotifier::watchdogTimeout()
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0)
        return std::chrono::microseconds(usec);
    // Under cage the unit's main process is the compositor, so the manager names cage's pid;
    // the station it runs is the one that must answer for the screen.
    bool pidOk = false;
    bool usecOk = false;
    const qint64 pid = qEnvironmentVariable("WATCHDOG_PID").toLongLong(&pidOk);
    const qulonglong timeout = qEnvironmentVariable("WATCHDOG_USEC").toULongLong(&usecOk);
    if (!pidOk || !usecOk || pid != static_cast<qint64>(getppid()))
        return std::chrono::microseconds(0);
    return std::chrono::microseconds(timeout);
}

} // namespace glimora::platform
