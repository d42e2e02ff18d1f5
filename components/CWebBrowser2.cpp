#include "components/CWebBrowser2.h"

#include "components/PageView.h"
#include "components/PageViewFactory.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

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
    if (!m_view) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = nullptr;
        adopt(PageViewFactory::create(nullptr));
        if (!m_pendingAddress.isEmpty())
            m_view->navigate(std::exchange(m_pendingAddress, QUrl()));
    }
    return m_view;
}

void CWebBrowser2::makeViewWhenShown()
{
    if (m_watchedWindow)
        return;
    m_watchedWindow = window();
    m_watchedWindow->installEventFilter(this);
}

bool CWebBrowser2::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::Paint) {
        m_watchedWindow->removeEventFilter(this);
        // After this paint has reached the screen.
        QTimer::singleShot(0, this, [this] { pageView(); });
    }
    return QWidget::eventFilter(watched, event);
}

void CWebBrowser2::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_view && !m_pendingAddress.isEmpty() && isVisible() && !size().isEmpty())
        pageView();
}

void CWebBrowser2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_view && !m_pendingAddress.isEmpty() && !size().isEmpty())
        pageView();
}

void CWebBrowser2::lockTo(const HomeSiteRule& rule)
{
    m_lock = rule;
    if (m_view)
        m_view->lockTo(rule);
}

void CWebBrowser2::adopt(PageView* view)
{
    m_view = view;
    if (m_lock)
        m_view->lockTo(*m_lock);
    layout()->addWidget(m_view);
    connect(
        m_view, &PageView::loadFinished, this, [this](bool ok) { emit DocumentComplete(LocationURL(), ok); });
}

void CWebBrowser2::Navigate(
    const QString& url, const QVariant&, const QVariant&, const QVariant&, const QVariant&)
{
    const QUrl address = addressUrl(url);
    if (!m_view && !window()->isVisible() && !address.isEmpty()) {
        m_pendingAddress = address;
        makeViewWhenShown();
        return;
    }
    m_pendingAddress.clear();
    pageView()->navigate(address);
}

QUrl CWebBrowser2::addressUrl(const QString& address)
{
    // Addresses come as a person would type them: "www.example.com/first/flash.htm",
    // "127.0.0.1:8080/first/flash.htm" or a path.
    const QString text = address.trimmed();
    if (text.isEmpty())
        return QUrl();
    const QFileInfo file(QDir::current(), text);
    if (file.isFile())
        return QUrl::fromLocalFile(file.absoluteFilePath());
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:(//|(?![0-9]))"));
    if (scheme.match(text).hasMatch())
        return QUrl(text, QUrl::TolerantMode);
    return QUrl(QStringLiteral("http://") + text, QUrl::TolerantMode);
}

QString CWebBrowser2::LocationURL() const
{
    return m_view ? m_view->url().toString() : m_pendingAddress.toString();
}

} // namespace glimora::components
