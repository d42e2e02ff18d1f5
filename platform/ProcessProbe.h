#pragma once

#include <QtGlobal>

namespace glimora::platform {

// Tells whether a process of this machine still runs, so that the sessions of a process
// that died can be cleaned out of the catalogue.
class ProcessProbe
{
public:
    static bool isRunning(qint64 pid);
};

} // namespace glimora::platform
