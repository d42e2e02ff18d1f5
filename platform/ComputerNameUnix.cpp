#include "platform/ComputerName.h"

#include <unistd.h>

namespace glimora::platform {

QString computerName()
{
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        return QString();
    // gethostname need not terminate a name that filled the buffer.
    buffer[sizeof buffer - 1] = '\0';
    return QString::fromLocal8Bit(buffer);
}

} // namespace glimora::platform
