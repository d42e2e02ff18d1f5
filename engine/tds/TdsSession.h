#pragma once

#include "engine/tds/TdsPacket.h"
#include "engine/tds/TdsTokens.h"

#include <atomic>
#include <memory>
#include <QHash>
#include <QString>

namespace glimora::data {
class BackendSession;
}

namespace glimora::engine {
class EmbeddedBackend;
}

namespace glimora::engine::tds {

// One client of the server, from its PRELOGIN to its last batch, over the embedded server.
// It takes whole messages and sends its answers through the packet writer's sink; it knows
// nothing of sockets, so the same code runs under the network loop, the tests and the fuzzer.
class LoginThrottle;

class TdsSession
{
public:
    TdsSession(std::shared_ptr<EmbeddedBackend> backend, PacketWriter::Sink sink, QString serverName);
    ~TdsSession();

    // Handles one message; false when the connection must close (after a refused login, or
    // a request that breaks the protocol). closeReason() then says why, for the log.
    bool handle(const Message& message);

    // The client's attention: stops the request at work; the attention message itself,
    // read after it, is answered once the request has ended. Safe from any thread.
    void cancel();
    // Failed logins from `address` are answered later and later (see LoginThrottle).
    void setLoginThrottle(std::shared_ptr<LoginThrottle> throttle, const QString& address);

    bool loggedIn() const { return m_session != nullptr; }
    // The packet size both sides use since the login.
    int packetSize() const { return m_packetSize; }
    QString closeReason() const { return m_closeReason; }
    QString userName() const { return m_userName; }

private:
    bool preLogin(const Message& message);
    bool login(const Message& message);
    void batch(const Message& message);
    void rpc(const Message& message);
    // Runs a batch and writes its tokens, `more` added to its last DONE (of `kind`); the
    // caller ends the message.
    void run(const QString& batch, token::DoneKind kind, quint16 more);
    void sendError(int number, int state, int severity, const QString& text, int line = 1);
    bool refuse(const QString& why);
    // ENVCHANGE and message 5701 when a batch moved the session to another database.
    void databaseChanged(const QString& from, const QString& to);

    std::shared_ptr<EmbeddedBackend> m_backend;
    PacketWriter m_writer;
    QString m_serverName;
    std::unique_ptr<data::BackendSession> m_session;
    QString m_database;
    QString m_userName;
    quint32 m_tdsVersion = 0x74000004;
    int m_packetSize = 4096;
    bool m_preLoginDone = false;
    std::atomic<bool> m_cancelled { false };
    struct Prepared
    {
        QString definitions;
        QString statement;
    };
    QHash<int, Prepared> m_prepared; // sp_prepare's handles
    int m_lastHandle = 0;
    std::shared_ptr<LoginThrottle> m_throttle;
    QString m_address;
    QString m_closeReason;
};

} // namespace glimora::engine::tds
