#include "engine/server/FaultPoint.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace glimora::engine {

void FaultPoint::reach(const char* name)
{
    const char* wanted = std::getenv("GLIMORA_ENGINE_FAULT");
    if (wanted && std::strcmp(wanted, name) == 0)
        _exit(86);
    const char* pause = std::getenv("GLIMORA_ENGINE_PAUSE");
    const std::size_t length = std::strlen(name);
    if (pause && std::strncmp(pause, name, length) == 0 && pause[length] == '=') {
        const std::string marker = pause + length + 1;
        const int file = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (file >= 0)
            ::close(file);
        for (int waited = 0; waited < 6000 && ::access(marker.c_str(), F_OK) == 0; ++waited)
            ::usleep(10000);
    }
}

bool FaultPoint::fails(const char* name)
{
    const char* wanted = std::getenv("GLIMORA_ENGINE_FAIL");
    return wanted && std::strcmp(wanted, name) == 0;
}

} // namespace glimora::engine
