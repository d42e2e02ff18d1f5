#include "platform/HelpViewer.h"

#include "platform/ChmHelpViewer.h"
#include "platform/ChmLibrary.h"

namespace glimora::platform {

std::unique_ptr<HelpViewer> loadHelpViewer(const QString& libraryName)
{
    auto library = ChmLibrary::load(libraryName.isEmpty() ? QStringLiteral("libchm.so.1") : libraryName);
    if (!library)
        return nullptr;
    return std::make_unique<ChmHelpViewer>(std::move(library));
}

} // namespace glimora::platform
