#include "engine/tds/TdsServer.h"

#include "engine/tds/LoginThrottle.h"
#include "engine/tds/TdsSession.h"
#include "platform/ComputerName.h"

#include <cerrno>
#include <poll.h>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>
#include <sys/socket.h>
#include <thread>

namespace glimora::engine::tds {

namespace {

// The client stopped reading its results or went away: its session ends here.
struct ClientGone
{
};

constexpr qint64 UnsentLimit = 256 * 1024;
constexpr int WaitSliceMs = 500;

// Watches the connection while a request runs: the client's attention packet, or its going
// away, stops the request. It only peeks, so the attention is read as usual afterwards.
class AttentionWatch
{
public:
    AttentionWatch(qintptr descriptor, TdsSession& session)
        : m_thread([this, descriptor, &session] { watch(int(descriptor), session); })
    {
    }
    ~AttentionWatch()
    {
        m_done = true;
        m_thread.join();
    }

private:
    void watch(int descriptor, TdsSession& session)
    {
        while (!m_done) {
            pollfd ready { descriptor, POLLIN, 0 };
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            unsigned char first = 0;
            const ssize_t peeked = ::recv(descriptor, &first, 1, MSG_PEEK | MSG_DONTWAIT);
            if (peeked == 0 || (peeked == 1 && first == quint8(PacketType::Attention))) {
                session.cancel();
                return;
            }
            if (peeked < 0 && errno != EAGAIN && errno != EINTR) {
                session.cancel();
                return;
            }
            // Anything else waits its turn; the client only sends it after the answer.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    std::atomic<bool> m_done { false };
    std::thread m_thread;
};

void log(const QString& line)
{
    QTextStream(stderr) << "glimora-server: " << line << Qt::endl;
}

} // namespace

TdsServer::TdsServer(std::shared_ptr<EmbeddedBackend> backend, Limits limits, QObject* parent)
    : QTcpServer(parent)
    , m_backend(std::move(backend))
    , m_throttle(std::make_shared<LoginThrottle>())
    , m_limits(limits)
    , m_serverName(platform::computerName())
{
}

TdsServer::~TdsServer()
{
    stop(-1);
}

bool TdsServer::stop(int graceMs)
{
    m_stopping = true;
    close();
    // Sessions notice within a wait slice and end; the backend outlives them through its share.
    for (int waited = 0; m_open.load() > 0; waited += 20) {
        if (graceMs >= 0 && waited >= graceMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

void TdsServer::incomingConnection(qintptr descriptor)
{
    if (m_open.load() >= m_limits.sessions) {
        QTcpSocket refused;
        refused.setSocketDescriptor(descriptor);
        log(QStringLiteral("refused %1: %2 sessions open")
                .arg(refused.peerAddress().toString())
                .arg(m_open.load()));
        refused.abort();
        return;
    }
    ++m_open;
    QThread* thread = QThread::create([this, descriptor] {
        serve(descriptor);
        --m_open;
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void TdsServer::serve(qintptr descriptor)
{
    QTcpSocket socket;
    if (!socket.setSocketDescriptor(descriptor))
        return;
    const QString peer = socket.peerAddress().toString() + u':' + QString::number(socket.peerPort());
    const int stallMs = m_limits.stallMs;
    auto send = [&](const QByteArray& packet) {
        socket.write(packet);
        int waited = 0;
        while (socket.bytesToWrite() > UnsentLimit) {
            if (socket.state() != QAbstractSocket::ConnectedState || m_stopping)
                throw ClientGone {};
            if (!socket.waitForBytesWritten(WaitSliceMs)) {
                waited += WaitSliceMs;
                if (waited >= stallMs || socket.state() != QAbstractSocket::ConnectedState)
                    throw ClientGone {};
            } else {
                waited = 0;
            }
        }
    };
    MessageReader reader(LargestPacketSize, m_limits.largestLoginMessage);
    QString reason;
    try {
        TdsSession session(m_backend, send, m_serverName);
        session.setLoginThrottle(m_throttle, socket.peerAddress().toString());
        int waited = 0;
        bool wasLoggedIn = false;
        while (!m_stopping) {
            Message message;
            const MessageReader::Result result = reader.next(message);
            if (result == MessageReader::Result::Failed) {
                reason = reader.error();
                break;
            }
            if (result == MessageReader::Result::Ready) {
                waited = 0;
                bool handled = false;
                if (message.type == PacketType::SqlBatch || message.type == PacketType::Rpc) {
                    if (reader.attentionWaiting())
                        session.cancel();
                    AttentionWatch watch(socket.socketDescriptor(), session);
                    handled = session.handle(message);
                } else {
                    handled = session.handle(message);
                }
                if (!handled) {
                    reason = session.closeReason();
                    break;
                }
                if (session.loggedIn() && !wasLoggedIn) {
                    wasLoggedIn = true;
                    reader.setLargestPacket(session.packetSize());
                    reader.setLargestMessage(m_limits.largestMessage);
                }
                continue;
            }
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(WaitSliceMs)) { }
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(WaitSliceMs)) {
                if (socket.state() != QAbstractSocket::ConnectedState)
                    break;
                // An idle station may wait for ever; half a message or a login may not.
                waited += WaitSliceMs;
                if ((reader.inMessage() || !session.loggedIn()) && waited >= stallMs) {
                    reason = QStringLiteral("stalled for %1 s").arg(stallMs / 1000);
                    break;
                }
                continue;
            }
            waited = 0;
            reader.feed(socket.readAll());
        }
        socket.flush();
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(WaitSliceMs)) { }
    } catch (const ClientGone&) {
        reason = QStringLiteral("the client stopped reading");
    } catch (const std::exception& error) {
        reason = QString::fromUtf8(error.what());
    }
    if (!reason.isEmpty())
        log(QStringLiteral("closed %1: %2").arg(peer, reason));
    socket.abort();
}

} // namespace glimora::engine::tds
