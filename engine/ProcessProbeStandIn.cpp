#include "engine/ProcessProbe.h"

namespace glimora::engine {

// Without a way to ask, every process counts as running: sessions are then never taken
// for dead, which errs on the safe side.
bool ProcessProbe::isRunning(qint64)
{
    return true;
}

} // namespace glimora::engine
