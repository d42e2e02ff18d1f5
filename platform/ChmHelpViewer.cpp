#include "platform/ChmHelpViewer.h"

#include "platform/ChmFile.h"
#include "platform/HelpWindow.h"
#include "platform/HtmlHelp.h"

#include <QApplication>

namespace glimora::platform {

ChmHelpViewer::ChmHelpViewer(std::shared_ptr<const ChmLibrary> library)
    : m_library(std::move(library))
{
}

ChmHelpViewer::~ChmHelpViewer() = default;

QString ChmHelpViewer::knownPage(quint32 context)
{
    switch (context) {
    case 0x20065:
        return QStringLiteral("/login.htm");
    case 0x20084:
        return QStringLiteral("/config.htm");
    case 0x20082:
        return QStringLiteral("/datamanage.htm");
    default:
        return QString();
    }
}

WId ChmHelpViewer::display(WId caller, const char* file, unsigned int command, quintptr data)
{
    if (command != HH_HELP_CONTEXT || !file)
        return 0;
    std::unique_ptr<ChmFile> chm = ChmFile::open(m_library, QString::fromLocal8Bit(file));
    if (!chm)
        return 0;
    const quint32 context = quint32(data);
    QString page = chm->pageForContext(context);
    if (page.isEmpty() && chm->contains(knownPage(context)))
        page = knownPage(context);
    if (page.isEmpty())
        return 0;

    // A window of the modal dialog that asks for help, or the modal dialog would block it.
    QWidget* owner = caller ? QWidget::find(caller) : nullptr;
    if (!owner)
        owner = QApplication::activeModalWidget();
    if (m_window && m_window->parentWidget() != owner) {
        m_window->close();
        m_window = nullptr;
    }
    if (!m_window)
        m_window = new HelpWindow(owner);
    m_window->showTopic(std::move(chm), page);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return m_window->winId();
}

} // namespace glimora::platform
