#include "platform/EventLog.h"
#include "tests/support/TempWorkspace.h"

#include <gtest/gtest.h>
#include <QFile>

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
