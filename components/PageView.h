#pragma once

#include <functional>
#include <QUrl>
#include <QWidget>

namespace glimora::components {

// What the web browser shows its pages in: Qt WebEngine where the program has it, a
// simpler text view otherwise. A page that cannot be loaded shows an error page in the
// view itself; nothing is raised to the caller.
class PageView : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual void navigate(const QUrl& url) = 0;
    virtual QUrl url() const = 0;
    // The text of the page shown, handed over when the view has it.
    virtual void requestPlainText(const std::function<void(const QString&)>& receiver) const = 0;

signals:
    // A page, or the error page that replaced it, is shown.
    void loadFinished(bool ok);
};

} // namespace glimora::components
