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
    , m_view(view ? view : PageViewFactory::create(nullptr))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    connect(
        m_view, &PageView::loadFinished, this, [this](bool ok) { emit DocumentComplete(LocationURL(), ok); });
}

void CWebBrowser2::Navigate(
    const QString& url, const QVariant&, const QVariant&, const QVariant&, const QVariant&)
{
    // Addresses come as a person would type them: "www.example.com/first/flash.htm" or a path.
    m_view->navigate(QUrl::fromUserInput(url.trimmed(), QDir::currentPath(), QUrl::AssumeLocalFile));
}

QString CWebBrowser2::LocationURL() const
{
    return m_view->url().toString();
}

} // namespace glimora::components
