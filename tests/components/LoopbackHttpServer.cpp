#include "tests/components/LoopbackHttpServer.h"

#include <QTcpSocket>

LoopbackHttpServer::LoopbackHttpServer()
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this]() {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, &LoopbackHttpServer::answer);
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void LoopbackHttpServer::setPage(
    const QByteArray& path, const QByteArray& body, const QByteArray& contentType)
{
    m_pages.insert(path, Page { body, contentType });
}

QString LoopbackHttpServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void LoopbackHttpServer::answer()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return; // the rest of the header is still on its way
    socket->setProperty("request", QByteArray());
    ++m_requests;
    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = requestLine.size() > 1 ? requestLine[1] : QByteArray("/");
    const auto page = m_pages.constFind(path);
    QByteArray status = "200 OK";
    Page reply;
    if (page == m_pages.constEnd()) {
        status = "404 Not Found";
        reply = Page { "<html><body>not here</body></html>", "text/html" };
    } else {
        reply = *page;
    }
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + reply.contentType + "\r\nContent-Length: "
        + QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body);
    socket->disconnectFromHost();
}
