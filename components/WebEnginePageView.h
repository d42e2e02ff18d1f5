#pragma once

#include "components/PageView.h"

class QWebEngineView;

namespace glimora::components {

// Shows pages with Qt WebEngine; it shows its own error pages for addresses it cannot load.
class WebEnginePageView : public PageView
{
    Q_OBJECT
public:
    explicit WebEnginePageView(QWidget* parent = nullptr);

    void navigate(const QUrl& url) override;
    QUrl url() const override;
    void requestPlainText(const std::function<void(const QString&)>& receiver) const override;
    void lockTo(const HomeSiteRule& rule) override;

private:
    QWebEngineView* m_view;
};

} // namespace glimora::components
