#include "platform/ComputerName.h"

#include <windows.h>

namespace glimora::platform {

QString computerName()
{
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    if (!GetComputerNameA(buffer, &size))
        return QString();
    return QString::fromLocal8Bit(buffer, int(size));
}

} // namespace glimora::platform
