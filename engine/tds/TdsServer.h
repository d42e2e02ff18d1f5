#pragma once

#include <atomic>
#include <memory>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>

namespace glimora::engine {
class EmbeddedBackend;
}

namespace glimora::engine::tds {

// Serves an embedded server's folder over TCP. Each connection runs on a thread of its own
// with blocking reads, so a slow batch holds up only its own client.
class LoginThrottle;

class TdsServer : public QTcpServer
{
public:
    struct Limits
    {
        int sessions = 64;
        qsizetype largestMessage = 64 * 1024 * 1024; // a batch with pictures in hex
        qsizetype largestLoginMessage = 64 * 1024;
        int stallMs = 30000; // half a message, a login not finished, a result not read
    };

    TdsServer(std::shared_ptr<EmbeddedBackend> backend, Limits limits, QObject* parent = nullptr);
    ~TdsServer() override;

    int openSessions() const { return m_open.load(); }
    // Stops listening and lets sessions end between requests; false when some are still at
    // work after `graceMs` (the process may then end under them: SQLite keeps its files whole).
    bool stop(int graceMs);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void serve(qintptr descriptor);

    std::shared_ptr<EmbeddedBackend> m_backend;
    std::shared_ptr<LoginThrottle> m_throttle;
    Limits m_limits;
    QString m_serverName;
    std::atomic<int> m_open { 0 };
    std::atomic<bool> m_stopping { false };
};

} // namespace glimora::engine::tds
