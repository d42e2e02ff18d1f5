#include "platform/ChmLibrary.h"

#include <dlfcn.h>
#include <QFile>

namespace glimora::platform {

namespace {

template <typename Function> bool resolveSymbol(void* handle, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(handle, name));
    return function != nullptr;
}

} // namespace

std::shared_ptr<const ChmLibrary> ChmLibrary::load(const QString& fileName)
{
    void* handle = dlopen(QFile::encodeName(fileName).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    auto library = std::make_shared<ChmLibrary>();
    if (!resolveSymbol(handle, "chm_open", library->open)
        || !resolveSymbol(handle, "chm_close", library->close)
        || !resolveSymbol(handle, "chm_resolve_object", library->resolve)
        || !resolveSymbol(handle, "chm_retrieve_object", library->retrieve)) {
        dlclose(handle);
        return nullptr;
    }
    return library;
}

} // namespace glimora::platform
