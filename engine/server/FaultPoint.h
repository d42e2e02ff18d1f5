#pragma once

namespace glimora::engine {

// Crash-safety tests name a point in the environment variable GLIMORA_ENGINE_FAULT; the
// process ends on the spot when it gets there, as a power cut or a kill -9 would end it.
// GLIMORA_ENGINE_PAUSE=point=file makes the process create the file at the point and wait
// there until the test removes it, so that a test can act in that moment.
class FaultPoint
{
public:
    static void reach(const char* name);
    // True when GLIMORA_ENGINE_FAIL names this point: the caller fails as on an I/O error.
    static bool fails(const char* name);
};

} // namespace glimora::engine
