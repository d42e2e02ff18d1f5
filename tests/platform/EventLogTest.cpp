#include "platform/EventLog.h"
#include "tests/support/TempWorkspace.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

#include <cstring>

using namespace glimora;
using platform::EventLog;

namespace {

class EventLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EventLog::setUseJournal(false);
        EventLog::setStation(QStringLiteral("LOBBY-1"));
        EventLog::setFolder(workspace.path());
    }
    void TearDown() override
    {
        EventLog::setFolder(QString());
        EventLog::setStation(QString());
    }
    QStringList lines(const QString& name = QStringLiteral("glimora.log"))
    {
        return QString::fromUtf8(workspace.readFile(name)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    TempWorkspace workspace;
};

} // namespace

TEST_F(EventLogTest, OneLinePerEventWithStationEventAndNumber)
{
    EventLog::write(EventLog::Event::Start, QStringLiteral("glimora started"));
    EventLog::write(EventLog::Event::MessageShown, QString::fromUtf8("第一行\n第二行"), 208);
    const QStringList written = lines();
    ASSERT_EQ(written.size(), 2);
    EXPECT_TRUE(written[0].endsWith(" LOBBY-1 start: glimora started")) << written[0].toStdString();
    EXPECT_TRUE(written[1].endsWith(QString::fromUtf8(" LOBBY-1 message #208: 第一行 | 第二行")))
        << written[1].toStdString();
}

TEST_F(EventLogTest, AFullFileIsRotatedAndOnlyTheLastFilesKept)
{
    const QString filler(1000, QLatin1Char('x'));
    for (int n = 0; n < 4 * EventLog::MaxFileSize / 1000; ++n)
        EventLog::write(EventLog::Event::JobStart, filler);
    EventLog::write(EventLog::Event::Stop, QStringLiteral("last"));
    EXPECT_TRUE(QFile::exists(workspace.filePath("glimora.log.1")));
    EXPECT_TRUE(QFile::exists(workspace.filePath("glimora.log.2")));
    EXPECT_FALSE(QFile::exists(workspace.filePath("glimora.log.3")));
    EXPECT_LE(QFile(workspace.filePath("glimora.log.1")).size(), EventLog::MaxFileSize + 2000);
    EXPECT_TRUE(lines().last().endsWith(" stop: last"));
}

TEST_F(EventLogTest, AFolderThatCannotBeWrittenIsSkipped)
{
    EventLog::setFolder(workspace.filePath("missing/folder"));
    EventLog::write(EventLog::Event::Stop, QStringLiteral("nowhere"));
    EXPECT_FALSE(QFile::exists(workspace.filePath("missing/folder/glimora.log")));
}

#if defined(GLIMORA_HAS_SYSTEMD)
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The journal's socket, listened on by the test where no journal runs (a container, CI).
class FakeJournal
{
public:
    static constexpr const char* Path = "/run/systemd/journal/socket";
    FakeJournal()
    {
        if (access(Path, F_OK) == 0 || !QDir().mkpath(QStringLiteral("/run/systemd/journal")))
            return;
        m_socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, Path, sizeof(address.sun_path) - 1);
        if (m_socket < 0 || bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            close(m_socket);
            m_socket = -1;
            return;
        }
        timeval wait { 2, 0 };
        setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    }
    ~FakeJournal()
    {
        if (m_socket < 0)
            return;
        close(m_socket);
        unlink(Path);
    }
    bool listening() const { return m_socket >= 0; }
    QByteArray nextEntry() const
    {
        QByteArray entry(64 * 1024, '\0');
        const ssize_t size = recv(m_socket, entry.data(), size_t(entry.size()), 0);
        return entry.left(size > 0 ? size : 0);
    }

private:
    int m_socket = -1;
};

} // namespace

// Under systemd the entries go to the journal with fields of their own; a password typed at
// the login is never among them.
TEST_F(EventLogTest, UnderSystemdTheJournalGetsTheFields)
{
    const FakeJournal journal;
    if (!journal.listening())
        GTEST_SKIP() << "a journal runs here, or its socket cannot be made";
    EventLog::setUseJournal(true);
    EventLog::write(EventLog::Event::MessageShown, QString::fromUtf8("连接失败"), 17);
    const QByteArray entry = journal.nextEntry();
    EventLog::setUseJournal(false);
    EXPECT_TRUE(entry.contains(QString::fromUtf8("MESSAGE=连接失败\n").toUtf8())) << entry.toStdString();
    EXPECT_TRUE(entry.contains("PRIORITY=3\n"));
    EXPECT_TRUE(entry.contains("SYSLOG_IDENTIFIER=glimora\n"));
    EXPECT_TRUE(entry.contains("GLIMORA_STATION=LOBBY-1\n"));
    EXPECT_TRUE(entry.contains("GLIMORA_ERROR=17\n"));
    // Written to the journal, the event is not written to the file as well.
    EXPECT_FALSE(QFile::exists(workspace.filePath("glimora.log")));
}
#endif
