#include "platform/HelpLoader.h"

namespace glimora::platform {

HelpLoader& HelpLoader::instance()
{
    static HelpLoader loader;
    return loader;
}

WId HelpLoader::call(WId caller, const char* file, unsigned int command, quintptr data)
{
    if (m_failed)
        return 0;
    if (!m_viewer) {
        m_viewer = loadHelpViewer(m_libraryName);
        if (!m_viewer) {
            m_failed = true;
            return 0;
        }
    }
    return m_viewer->display(caller, file, command, data);
}

void HelpLoader::setLibraryName(const QString& name)
{
    m_libraryName = name;
}

void HelpLoader::reset()
{
    m_viewer.reset();
    m_failed = false;
}

} // namespace glimora::platform
