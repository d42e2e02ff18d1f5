#pragma once

#include "platform/ChmLibrary.h"
#include "platform/HelpViewer.h"

#include <QPointer>

namespace glimora::platform {

class HelpWindow;

// Our HTML Help viewer over chmlib: shows the topic of a context number in a HelpWindow.
class ChmHelpViewer : public HelpViewer
{
public:
    explicit ChmHelpViewer(std::shared_ptr<const ChmLibrary> library);
    ~ChmHelpViewer() override;

    WId display(WId caller, const char* file, unsigned int command, quintptr data) override;

    // The pages of our own help.chm, for a file whose context map cannot be read.
    static QString knownPage(quint32 context);

private:
    std::shared_ptr<const ChmLibrary> m_library;
    QPointer<HelpWindow> m_window;
};

} // namespace glimora::platform
