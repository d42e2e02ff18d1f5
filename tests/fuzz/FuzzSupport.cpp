#include "tests/fuzz/FuzzTargets.h"

#include <cstdio>
#include <cstdlib>
#include <QCoreApplication>

namespace glimora::fuzz {

void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "glimora-fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication application(argc, argv);
}

void fuzzFailure(const char* what, const char* detail)
{
    std::fprintf(stderr, "fuzz property broken: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    std::fflush(stderr);
    std::abort();
}

} // namespace glimora::fuzz
