#include "platform/ProcessProbe.h"

#include <cerrno>
#include <signal.h>

namespace glimora::platform {

bool ProcessProbe::isRunning(qint64 pid)
{
    // Signal 0 only asks; EPERM means the process exists under another user.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace glimora::platform
