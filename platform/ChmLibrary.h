#pragma once

#include <chm_lib.h>
#include <memory>
#include <QString>

namespace glimora::platform {

// The entry points of chmlib, opened at run time so that the program starts without it.
// The library stays loaded once opened.
class ChmLibrary
{
public:
    using Open = chmFile* (*)(const char*);
    using Close = void (*)(chmFile*);
    using Resolve = int (*)(chmFile*, const char*, chmUnitInfo*);
    using Retrieve = LONGINT64 (*)(chmFile*, chmUnitInfo*, unsigned char*, LONGUINT64, LONGINT64);

    // nullptr when the library or one of its entry points is missing.
    static std::shared_ptr<const ChmLibrary> load(const QString& fileName);

    Open open = nullptr;
    Close close = nullptr;
    Resolve resolve = nullptr;
    Retrieve retrieve = nullptr;
};

} // namespace glimora::platform
