#pragma once

namespace glimora::engine {

// Crash-safety tests name a point in the environment variable GLIMORA_ENGINE_FAULT; the
// process ends on the spot when it gets there, as a power cut or a kill -9 would end it.
class FaultPoint
{
public:
    static void reach(const char* name);
};

} // namespace glimora::engine
