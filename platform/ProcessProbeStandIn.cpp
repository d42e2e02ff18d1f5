#include "platform/ProcessProbe.h"

namespace glimora::platform {

// Without a way to ask, every process counts as running: sessions are then never taken
// for dead, which errs on the safe side.
bool ProcessProbe::isRunning(qint64)
{
    return true;
}

} // namespace glimora::platform
