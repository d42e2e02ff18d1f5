#pragma once

#include "components/HomeSiteRule.h"

#include <functional>
#include <optional>
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

    // From now on the view goes only where the rule allows: other links, downloads, new
    // windows and the context menu (its Back, Save and Open lead elsewhere) do nothing.
    virtual void lockTo(const HomeSiteRule& rule) { m_lock = rule; }
    bool mayGo(const QUrl& url) const { return !m_lock || m_lock->allows(url); }
    bool isLocked() const { return m_lock.has_value(); }

signals:
    // A page, or the error page that replaced it, is shown.
    void loadFinished(bool ok);

private:
    std::optional<HomeSiteRule> m_lock;
};

} // namespace glimora::components
