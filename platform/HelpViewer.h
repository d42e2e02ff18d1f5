#pragma once

#include <memory>
#include <QString>
#include <qwindowdefs.h>

namespace glimora::platform {

// A loaded help viewer library, ready to take HtmlHelpA calls.
class HelpViewer
{
public:
    virtual ~HelpViewer() = default;
    virtual WId display(WId caller, const char* file, unsigned int command, quintptr data) = 0;
};

// Loads the viewer library of this operating system (`libraryName` empty) or the named
// one. nullptr when the library or its entry points are missing. One implementation per
// operating system.
std::unique_ptr<HelpViewer> loadHelpViewer(const QString& libraryName);

} // namespace glimora::platform
