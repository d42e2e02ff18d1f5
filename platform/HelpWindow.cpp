#include "platform/HelpWindow.h"

#include "platform/ChmFile.h"
#include "platform/HelpBrowser.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace glimora::platform {

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent)
    , m_browser(new HelpBrowser(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setWindowTitle(QString::fromUtf8("帮助"));
    resize(760, 560);

    auto* back = new QPushButton(QString::fromUtf8("后退"), this);
    auto* forward = new QPushButton(QString::fromUtf8("前进"), this);
    auto* close = new QPushButton(QString::fromUtf8("关闭"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, m_browser, &HelpBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &HelpBrowser::forward);
    connect(close, &QPushButton::clicked, this, &HelpWindow::close);
    connect(m_browser, &HelpBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &HelpBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(m_browser, &HelpBrowser::sourceChanged, this, &HelpWindow::updateTitle);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
}

HelpWindow::~HelpWindow()
{
    // The browser reads from the file until it is gone.
    m_browser->setFile(nullptr);
}

void HelpWindow::showTopic(std::unique_ptr<ChmFile> file, const QString& page)
{
    m_browser->setFile(file.get());
    m_browser->showPage(page);
    m_browser->clearHistory();
    m_file = std::move(file);
}

HelpBrowser* HelpWindow::browser() const
{
    return m_browser;
}

void HelpWindow::updateTitle()
{
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QString::fromUtf8("帮助") : title);
}

} // namespace glimora::platform
