#include "app/ServiceHeartbeat.h"
#include "tests/support/WaitFor.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using glimora::app::ServiceHeartbeat;

namespace {

// The service manager's end: a datagram socket of the test's own, named by NOTIFY_SOCKET.
class ServiceHeartbeatTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ASSERT_GE(m_socket, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(m_dir.filePath("notify"));
        ASSERT_LT(path.size(), qsizetype(sizeof(address.sun_path)));
        std::copy(path.begin(), path.end(), address.sun_path);
        ASSERT_EQ(::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        qputenv("NOTIFY_SOCKET", path);
        watchdog(300'000, getpid());
    }
    void TearDown() override
    {
        for (const char* name : { "NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID" })
            qunsetenv(name);
        ::close(m_socket);
    }

    static void watchdog(qint64 usec, qint64 pid)
    {
        qputenv("WATCHDOG_USEC", QByteArray::number(usec));
        qputenv("WATCHDOG_PID", QByteArray::number(pid));
    }

    // Every message that arrived since the last call, without waiting.
    QStringList received()
    {
        char buffer[256];
        ssize_t got;
        while ((got = ::recv(m_socket, buffer, sizeof(buffer), 0)) > 0)
            m_messages << QString::fromLatin1(buffer, got).trimmed();
        return std::exchange(m_messages, {});
    }

    QTemporaryDir m_dir;
    int m_socket = -1;
    QStringList m_messages;
};

} // namespace

TEST_F(ServiceHeartbeatTest, ReadyOnceTheFirstScreenHasPaintedAndOnlyOnce)
{
    watchdog(0, getpid());
    ServiceHeartbeat heartbeat;
    EXPECT_EQ(heartbeat.pingInterval(), 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(received().isEmpty());

    QWidget screen;
    screen.resize(200, 100);
    screen.show();
    QStringList messages;
    EXPECT_EVENTUALLY((messages += received()).contains("READY=1"));
    screen.update();
    QTest::qWait(50);
    messages += received();
    EXPECT_EQ(messages, QStringList { "READY=1" });
}

TEST_F(ServiceHeartbeatTest, PingsWhileTheEventLoopRunsAndNoneWhileItIsBlocked)
{
    ServiceHeartbeat heartbeat;
    EXPECT_EQ(heartbeat.pingInterval(), 100);
    int pings = 0;
    EXPECT_EVENTUALLY((pings += received().count("WATCHDOG=1")) >= 2);

    received();
    QThread::msleep(450); // the screen's thread hangs
    EXPECT_TRUE(received().isEmpty());
    EXPECT_EVENTUALLY(received().contains("WATCHDOG=1"));
}

TEST_F(ServiceHeartbeatTest, UnderCageTheWatchdogNamesTheCompositorsPid)
{
    watchdog(300'000, getppid());
    EXPECT_EQ(ServiceHeartbeat().pingInterval(), 100);
    // Meant for some other process further up or down: not this station's to answer.
    watchdog(300'000, getpid() + 1);
    EXPECT_EQ(ServiceHeartbeat().pingInterval(), 0);
}
