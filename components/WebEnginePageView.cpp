#include "components/WebEnginePageView.h"

#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace glimora::components {

namespace {

// Asks the view before every navigation and opens no window or file dialog of its own once locked.
class GuardedPage : public QWebEnginePage
{
public:
    GuardedPage(const PageView& view, QObject* parent)
        : QWebEnginePage(parent)
        , m_view(view)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override { return m_view.mayGo(url); }
    QWebEnginePage* createWindow(WebWindowType type) override
    {
        return m_view.isLocked() ? nullptr : QWebEnginePage::createWindow(type);
    }
    // A file dialog browses, renames and deletes the station's own files.
    QStringList chooseFiles(
        FileSelectionMode mode, const QStringList& oldFiles, const QStringList& acceptedMimeTypes) override
    {
        return m_view.isLocked() ? QStringList()
                                 : QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
    }

private:
    const PageView& m_view;
};

} // namespace

WebEnginePageView::WebEnginePageView(QWidget* parent)
    : PageView(parent)
    , m_view(new QWebEngineView(this))
{
    m_view->setPage(new GuardedPage(*this, m_view));
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

void WebEnginePageView::lockTo(const HomeSiteRule& rule)
{
    const bool wasLocked = isLocked();
    PageView::lockTo(rule);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    if (wasLocked)
        return;
    // The profile is shared by every view: each refuses only its own page's downloads.
    connect(m_view->page()->profile(), &QWebEngineProfile::downloadRequested, this,
        [this](QWebEngineDownloadRequest* download) {
            if (download->page() == m_view->page())
                download->cancel();
        });
}

} // namespace glimora::components
