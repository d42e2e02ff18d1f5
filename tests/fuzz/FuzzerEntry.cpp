// libFuzzer's entry point for one target, chosen by GLIMORA_FUZZ_ENTRY at compile time
// (see tests/fuzz/CMakeLists.txt and scripts/fuzz).
#include "tests/fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    glimora::fuzz::ensureApplication();
    return glimora::fuzz::GLIMORA_FUZZ_ENTRY(data, size);
}
