#include "components/CWebBrowser2.h"

#include "components/PageView.h"
#include "components/PageViewFactory.h"

#include <QDir>
#include <QVBoxLayout>

namespace glimora::components {

CWebBrowser2::CWebBrowser2(QWidget* parent)
    : CWebBrowser2(nullptr, parent)
{
}

CWebBrowser2::CWebBrowser2(PageView* view, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (view)
        adopt(view);
}

PageView* CWebBrowser2::pageView()
{
    // Made on first use: a browser that is never driven (the login screen's) starts no engine.
    if (!m_view)
        adopt(PageViewFactory::create(nullptr));
    return m_view;
}

void CWebBrowser2::adopt(PageView* view)
{
    m_view = view;
    layout()->addWidget(m_view);
    connect(
        m_view, &PageView::loadFinished, this, [this](bool ok) { emit DocumentComplete(LocationURL(), ok); });
}

void CWebBrowser2::Navigate(
    const QString& url, const QVariant&, const QVariant&, const QVariant&, const QVariant&)
{
    // Addresses come as a person would type them: "www.example.com/first/flash.htm" or a path.
    pageView()->navigate(QUrl::fromUserInput(url.trimmed(), QDir::currentPath(), QUrl::AssumeLocalFile));
}

QString CWebBrowser2::LocationURL() const
{
    return m_view ? m_view->url().toString() : QString();
}

} // namespace glimora::components
