#pragma once

#include <QByteArray>
#include <QHash>
#include <QTcpServer>

// A tiny HTTP responder on 127.0.0.1 for browser tests: answers each GET with the body
// registered for its path, or 404.
class LoopbackHttpServer : public QTcpServer
{
    Q_OBJECT
public:
    LoopbackHttpServer();

    void setPage(const QByteArray& path, const QByteArray& body, const QByteArray& contentType);
    QString url(const QString& path) const;
    int requestCount() const { return m_requests; }

private:
    void answer();

    struct Page
    {
        QByteArray body;
        QByteArray contentType;
    };
    QHash<QByteArray, Page> m_pages;
    int m_requests = 0;
};
