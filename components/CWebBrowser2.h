#pragma once

#include "components/HomeSiteRule.h"

#include <optional>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWidget>

namespace glimora::components {

class PageView;

// The web browser: Navigate shows the page at an address. Errors while loading show an
// error page inside the browser and are never raised to the caller.
// Starting a page engine takes longer than building a whole screen; so a browser whose
// window has not been shown yet makes its view only once the window has painted (or when
// the browser itself is shown first), and then loads the page it was sent to.
class CWebBrowser2 : public QWidget
{
    Q_OBJECT
public:
    // The browser with the page view of this build.
    explicit CWebBrowser2(QWidget* parent = nullptr);
    // The browser over a given page view, which it takes over (tests pick the view).
    CWebBrowser2(PageView* view, QWidget* parent);

    // The last four arguments are accepted and, as every caller passes them empty, ignored.
    void Navigate(const QString& url, const QVariant& flags = {}, const QVariant& targetFrameName = {},
        const QVariant& postData = {}, const QVariant& headers = {});
    QString LocationURL() const;
    // The address Navigate goes to: a path that names an existing file is that file, an
    // address with a scheme is itself, and anything else is a web address (http).
    static QUrl addressUrl(const QString& address);

    PageView* pageView();
    // Keeps the visitor on the home page's site (see PageView::lockTo), for the view made later too.
    void lockTo(const HomeSiteRule& rule);

signals:
    // The page, or the error page shown instead, has loaded.
    void DocumentComplete(const QString& url, bool ok);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void adopt(PageView* view);
    void makeViewWhenShown();

    PageView* m_view = nullptr;
    QUrl m_pendingAddress; // for the view not made yet
    std::optional<HomeSiteRule> m_lock;
    QPointer<QWidget> m_watchedWindow;
};

} // namespace glimora::components
