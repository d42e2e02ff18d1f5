#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWidget>

namespace glimora::components {

class PageView;

// The web browser: Navigate shows the page at an address. Errors while loading show an
// error page inside the browser and are never raised to the caller.
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

signals:
    // The page, or the error page shown instead, has loaded.
    void DocumentComplete(const QString& url, bool ok);

private:
    void adopt(PageView* view);

    PageView* m_view = nullptr;
};

} // namespace glimora::components
