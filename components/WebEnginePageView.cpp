#include "components/WebEnginePageView.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace glimora::components {

WebEnginePageView::WebEnginePageView(QWidget* parent)
    : PageView(parent)
    , m_view(new QWebEngineView(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    connect(m_view, &QWebEngineView::loadFinished, this, &PageView::loadFinished);
}

void WebEnginePageView::navigate(const QUrl& url)
{
    m_view->load(url);
}

QUrl WebEnginePageView::url() const
{
    return m_view->url();
}

void WebEnginePageView::requestPlainText(const std::function<void(const QString&)>& receiver) const
{
    m_view->page()->toPlainText(receiver);
}

} // namespace glimora::components
