#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// What the unit asks of the service manager.
constexpr int RestartSecMs = 2'000;
constexpr int WatchdogSecMs = 15'000;
constexpr int ReturnLimitMs = 15'000;

// Stands in for systemd around a kiosk: starts the real station in a folder of its own,
// hears its notifications on a datagram socket of its own, and restarts it as
// Restart=always would.
class Supervisor
{
public:
    explicit Supervisor(const QString& station)
    {
        m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(m_socketDir.filePath("notify"));
        std::copy(path.begin(), path.end(), address.sun_path);
        m_bound
            = m_socket >= 0 && ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("NOTIFY_SOCKET", QString::fromLocal8Bit(path));
        environment.insert("WATCHDOG_USEC", QString::number(qint64(WatchdogSecMs) * 1000));
        environment.remove("WATCHDOG_PID");
        environment.remove("CREDENTIALS_DIRECTORY");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        // The tests may run as root, where the home page's browser refuses its sandbox.
        if (::geteuid() == 0)
            environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
        m_process.setProcessEnvironment(environment);
        m_process.setProgram(QStringLiteral(GLIMORA_BINARY));
        m_process.setArguments({ "--kiosk" });
        m_process.setWorkingDirectory(station);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Supervisor()
    {
        kill();
        if (m_socket >= 0)
            ::close(m_socket);
    }
    bool bound() const { return m_bound; }

    void start()
    {
        drain();
        m_process.start();
        m_process.waitForStarted();
    }
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished();
    }
    void stop() { ::kill(pid_t(m_process.processId()), SIGSTOP); }

    // Waits for the message; false when the station died or the time ran out.
    bool waitFor(const QString& message, int milliseconds)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < milliseconds && m_process.state() != QProcess::NotRunning) {
            for (const QString& received : drain()) {
                if (received == message)
                    return true;
            }
            QThread::msleep(20);
        }
        return false;
    }

    // Watches the pings as the manager's watchdog does: returns once none came for
    // WatchdogSec, or false when one keeps coming past `milliseconds`.
    bool watchdogVerdict(int milliseconds)
    {
        QElapsedTimer clock;
        clock.start();
        QElapsedTimer sincePing;
        sincePing.start();
        while (clock.elapsed() < milliseconds) {
            if (drain().contains("WATCHDOG=1"))
                sincePing.restart();
            if (sincePing.elapsed() >= WatchdogSecMs)
                return true;
            QThread::msleep(20);
        }
        return false;
    }

private:
    QStringList drain()
    {
        QStringList messages;
        char buffer[512];
        ssize_t got;
        while ((got = ::recv(m_socket, buffer, sizeof(buffer), 0)) > 0) {
            for (const QString& line : QString::fromLatin1(buffer, got).split('\n', Qt::SkipEmptyParts))
                messages << line.trimmed();
        }
        return messages;
    }

    QTemporaryDir m_socketDir;
    int m_socket = -1;
    bool m_bound = false;
    QProcess m_process;
};

// A station like the demo's, without its records, logged in from a private credential.
void makeStation(const QString& folder)
{
    const QString demo = QStringLiteral(GLIMORA_SOURCE_DIR "/demo/");
    for (const char* name : { "uinfo.ini", "Contrast.XLS" })
        QFile::copy(demo + name, folder + "/" + name);
    QDir(folder).mkpath("first");
    QFile::copy(demo + "first/flash.htm", folder + "/first/flash.htm");
    QFile credentials(folder + "/login.credentials");
    credentials.open(QIODevice::WriteOnly);
    credentials.write("server=localhost\nuser=sa\npassword=Lobby-Kiosk-1\n");
    credentials.close();
    credentials.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

TEST(KioskSupervisorTest, AKilledOrHungStationIsBackOnItsQueryScreenWithinFifteenSeconds)
{
    QTemporaryDir station;
    makeStation(station.path());
    Supervisor supervisor(station.path());
    ASSERT_TRUE(supervisor.bound());

    // The first start also makes the station's database.
    supervisor.start();
    ASSERT_TRUE(supervisor.waitFor("READY=1", 20'000));

    // A crash or a kill: the manager sees the process end and starts it after RestartSec.
    QElapsedTimer back;
    back.start();
    supervisor.kill();
    QThread::msleep(RestartSecMs);
    supervisor.start();
    ASSERT_TRUE(supervisor.waitFor("READY=1", ReturnLimitMs));
    const qint64 afterKill = back.elapsed();

    // A hang: the pings stop, the watchdog's verdict comes WatchdogSec after the last one,
    // then the manager kills the station and starts it after RestartSec.
    ASSERT_TRUE(supervisor.waitFor("WATCHDOG=1", WatchdogSecMs / 3 + 2'000));
    supervisor.stop();
    QElapsedTimer hung;
    hung.start();
    ASSERT_TRUE(supervisor.watchdogVerdict(WatchdogSecMs + 5'000));
    const qint64 verdict = hung.elapsed();
    back.restart();
    supervisor.kill();
    QThread::msleep(RestartSecMs);
    supervisor.start();
    ASSERT_TRUE(supervisor.waitFor("READY=1", ReturnLimitMs));
    const qint64 afterHang = back.elapsed();

    std::printf("kill: back %.1f s after the kill; hang: verdict %.1f s after the stop, back %.1f s after "
                "the verdict\n",
        afterKill / 1000.0, verdict / 1000.0, afterHang / 1000.0);
    EXPECT_LT(afterKill, ReturnLimitMs);
    EXPECT_LT(afterHang, ReturnLimitMs);
    EXPECT_LE(verdict, WatchdogSecMs + 1'000);
}
