#pragma once

#include "components/PageView.h"

#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QTextBrowser;

namespace glimora::components {

// Shows HTML from http:// and file:// addresses in a QTextBrowser: enough for a home page
// of text, tables and local pictures, without a browser engine. Links are followed in the
// same view.
class TextPageView : public PageView
{
    Q_OBJECT
public:
    // Gives up on a server that sends nothing for this long.
    static constexpr int TransferTimeoutMs = 30000;
    // A page is text; anything larger is not read into memory.
    static constexpr qint64 MaximumPageBytes = 16 * 1024 * 1024;

    explicit TextPageView(QWidget* parent = nullptr);
    ~TextPageView() override;

    void navigate(const QUrl& url) override;
    QUrl url() const override { return m_url; }
    void requestPlainText(const std::function<void(const QString&)>& receiver) const override;

    QTextBrowser* textBrowser() const { return m_browser; }

private:
    void readLocalFile(const QString& path);
    void replyFinished(QNetworkReply* reply);
    void showHtml(const QByteArray& bytes, const QByteArray& contentType);
    void showError(const QString& reason);
    void abortPending();

    QTextBrowser* m_browser;
    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_pending;
    QUrl m_url;
    quint64 m_navigation = 0; // counts navigations, so that a late local read is dropped
};

} // namespace glimora::components
