#include "app/ScheduledBackups.h"
#include "backoffice/BackupRetention.h"
#include "tests/query/QueryStation.h"
#include "tests/support/TempWorkspace.h"
#include "tests/support/WaitFor.h"

#include <gtest/gtest.h>
#include <QFile>

using namespace glimora;
using app::ScheduledBackups;

namespace {

class ScheduledBackupsTest : public ::testing::Test
{
protected:
    ScheduledBackupsTest()
    {
        schedule = *backoffice::BackupSchedule::parse("daily 02:00");
        schedule.folder = workspace.filePath("backups");
        schedule.keepDaily = 2;
        schedule.keepWeekly = schedule.keepMonthly = 0;
    }

    std::unique_ptr<ScheduledBackups> station()
    {
        return std::make_unique<ScheduledBackups>(
            schedule, QStringLiteral("nivo"), [this] { return now; },
            [this](const QString&, const QString& path) {
                ++attempts;
                if (failing)
                    return QStringLiteral("Operating system error 28 (No space left on device).");
                QFile file(path);
                return file.open(QIODevice::WriteOnly) ? QString() : QStringLiteral("cannot write");
            });
    }
    // Runs one check and waits for the backup it started.
    void check(ScheduledBackups& backups)
    {
        backups.check();
        EXPECT_EVENTUALLY(!backups.running());
    }
    int files() { return int(backoffice::BackupRetention::files(schedule, "nivo").size()); }

    TempWorkspace workspace;
    backoffice::BackupSchedule schedule;
    QDateTime now = QDateTime(QDate(2026, 12, 9), QTime(1, 0));
    bool failing = false;
    int attempts = 0;
};

} // namespace

TEST_F(ScheduledBackupsTest, TakenWhenDueAndMissedOnesAtStart)
{
    auto backups = station();
    check(*backups); // never taken: at once
    EXPECT_EQ(attempts, 1);
    now = now.addSecs(30 * 60);
    check(*backups);
    EXPECT_EQ(attempts, 1); // 01:30, not due before 02:00
    now = QDateTime(QDate(2026, 12, 9), QTime(2, 0, 30));
    check(*backups);
    EXPECT_EQ(attempts, 2);

    // The station was off for three days: one backup at its start, from the files it finds.
    now = QDateTime(QDate(2026, 12, 12), QTime(9, 0));
    backups = station();
    check(*backups);
    check(*backups);
    EXPECT_EQ(attempts, 3);
    EXPECT_EQ(files(), 2); // two days kept: the 12th and the 9th's newest
}

TEST_F(ScheduledBackupsTest, AFailureIsRetriedUntilItWorksAndRemovesNothing)
{
    auto backups = station();
    check(*backups);
    now = now.addDays(1);
    check(*backups);
    ASSERT_EQ(files(), 2);
    failing = true;
    now = now.addDays(1);
    check(*backups);
    EXPECT_EQ(attempts, 3);
    EXPECT_FALSE(backups->lastProblem().isEmpty());
    EXPECT_EQ(files(), 2);
    now = now.addSecs(60);
    check(*backups);
    EXPECT_EQ(attempts, 3); // not before the retry time
    now = now.addSecs(ScheduledBackups::RetryMinutes * 60);
    check(*backups);
    EXPECT_EQ(attempts, 4);
    failing = false;
    now = now.addSecs(ScheduledBackups::RetryMinutes * 60);
    check(*backups);
    EXPECT_EQ(attempts, 5);
    EXPECT_TRUE(backups->lastProblem().isEmpty());
    EXPECT_EQ(files(), 2);
}

TEST(ScheduledBackupsOnTheServerTest, TheBackupIsTakenThroughItsOwnConnectionAndRestores)
{
    QueryStation station("[system]\ndatabase=nivo\n[schedule]\nbackup=daily 02:00\n");
    station.execute("insert inquiry(d1) values('O''Neil')");
    std::unique_ptr<ScheduledBackups> backups = ScheduledBackups::fromSettings();
    ASSERT_TRUE(backups);
    backups->check();
    EXPECT_EVENTUALLY(!backups->running());
    EXPECT_TRUE(backups->lastProblem().isEmpty()) << backups->lastProblem().toStdString();
    const QStringList taken
        = backoffice::BackupRetention::files(*backoffice::BackupSchedule::fromSettings(), "nivo");
    ASSERT_EQ(taken.size(), 1);
    station.execute("delete inquiry");
    station.execute(
        "use master restore database nivo from disk='" + QString(taken[0]).replace("'", "''") + "'");
    EXPECT_EQ(station.rows("select d1 from inquiry"), QStringList { "O'Neil" });
}
