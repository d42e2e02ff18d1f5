#include "platform/HelpViewer.h"

namespace glimora::platform {

// Built without the CHM library's header: help does nothing, as with the library missing.
std::unique_ptr<HelpViewer> loadHelpViewer(const QString&)
{
    return nullptr;
}

} // namespace glimora::platform
