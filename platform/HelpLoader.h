#pragma once

#include "platform/HelpViewer.h"

#include <memory>
#include <QString>

namespace glimora::platform {

// The process-wide cache behind HtmlHelpA: one attempt to load the viewer, whose outcome
// holds for the rest of the run.
class HelpLoader
{
public:
    static HelpLoader& instance();

    WId call(WId caller, const char* file, unsigned int command, quintptr data);

    // For tests: the library that the next load tries (empty: the system's), and a
    // loader that has not tried yet.
    void setLibraryName(const QString& name);
    void reset();

private:
    QString m_libraryName;
    std::unique_ptr<HelpViewer> m_viewer;
    bool m_failed = false;
};

} // namespace glimora::platform
