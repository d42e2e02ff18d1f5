#include "backoffice/BackupSchedule.h"
#include "backoffice/BackupRetention.h"

#include <gtest/gtest.h>

using namespace glimora::backoffice;

namespace {

QDateTime at(const char* text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

} // namespace

TEST(BackupScheduleTest, DailyAndWeeklyTimesAndWhatIsRefused)
{
    const auto daily = BackupSchedule::parse("daily 2:30");
    ASSERT_TRUE(daily);
    EXPECT_EQ(daily->lastDue(at("2026-12-09T02:29:00")), at("2026-12-08T02:30:00"));
    EXPECT_EQ(daily->lastDue(at("2026-12-09T02:30:00")), at("2026-12-09T02:30:00"));
    const auto weekly = BackupSchedule::parse(" Weekly  7 23:00 ");
    ASSERT_TRUE(weekly);
    // 2026-12-09 is a Wednesday: the last Sunday at 23:00 was the 6th.
    EXPECT_EQ(weekly->lastDue(at("2026-12-09T12:00:00")), at("2026-12-06T23:00:00"));
    EXPECT_EQ(weekly->lastDue(at("2026-12-13T22:59:00")), at("2026-12-06T23:00:00"));
    for (const char* wrong :
        { "", "daily", "daily 25:00", "weekly 8 02:00", "weekly 0 02:00", "hourly 02:00" })
        EXPECT_FALSE(BackupSchedule::parse(wrong)) << wrong;
}

TEST(BackupScheduleTest, DueOnceAfterEachTimeAndAtStartWhenOneWasMissed)
{
    const BackupSchedule schedule = *BackupSchedule::parse("daily 02:00");
    EXPECT_TRUE(schedule.isDue(at("2026-12-09T10:00:00"), std::nullopt));
    EXPECT_FALSE(schedule.isDue(at("2026-12-09T10:00:00"), at("2026-12-09T02:00:05")));
    EXPECT_TRUE(schedule.isDue(at("2026-12-10T02:00:00"), at("2026-12-09T02:00:05")));
    // Off from Monday to Thursday: one backup at the start, not one for each day missed.
    EXPECT_TRUE(schedule.isDue(at("2026-12-12T09:00:00"), at("2026-12-08T02:00:05")));
    EXPECT_FALSE(schedule.isDue(at("2026-12-12T09:00:00"), at("2026-12-12T09:00:01")));
}

TEST(BackupScheduleTest, RetentionOverAYearOfDailyBackups)
{
    BackupSchedule schedule = *BackupSchedule::parse("daily 02:00");
    QList<QDateTime> taken;
    for (QDate day(2026, 1, 1); day <= QDate(2026, 12, 31); day = day.addDays(1))
        taken << QDateTime(day, QTime(2, 0));
    taken << QDateTime(QDate(2026, 12, 31), QTime(14, 0)); // a second one on the last day
    const QList<bool> kept = BackupRetention::kept(taken, schedule);
    QList<QDateTime> left;
    for (int i = 0; i < taken.size(); ++i) {
        if (kept[i])
            left << taken[i];
    }
    // 7 days (the last day's newest), the newest of 4 weeks and of 12 months, shared where
    // they fall on the same backup.
    EXPECT_TRUE(left.contains(QDateTime(QDate(2026, 12, 31), QTime(14, 0))));
    EXPECT_FALSE(left.contains(QDateTime(QDate(2026, 12, 31), QTime(2, 0))));
    EXPECT_TRUE(left.contains(QDateTime(QDate(2026, 12, 25), QTime(2, 0))));
    EXPECT_FALSE(left.contains(QDateTime(QDate(2026, 12, 24), QTime(2, 0)))); // a Thursday
    EXPECT_TRUE(left.contains(QDateTime(QDate(2026, 12, 20), QTime(2, 0)))); // a week's last
    EXPECT_TRUE(left.contains(QDateTime(QDate(2026, 1, 31), QTime(2, 0)))); // a month's last
    EXPECT_FALSE(left.contains(QDateTime(QDate(2026, 1, 30), QTime(2, 0))));
    EXPECT_EQ(left.size(), 7 + 2 + 11); // weeks: the 20th and the 13th

    schedule.keepDaily = schedule.keepWeekly = schedule.keepMonthly = 0;
    const QList<bool> newestOnly = BackupRetention::kept(taken, schedule);
    EXPECT_EQ(newestOnly.count(true), 1);
    EXPECT_TRUE(newestOnly.last());
}

TEST(BackupScheduleTest, FileNamesOfOneDatabaseOnly)
{
    const QDateTime taken = at("2026-12-09T02:00:07");
    EXPECT_EQ(BackupRetention::fileName("nivo", taken), "nivo-scheduled-20261209-020007.dbk");
    EXPECT_EQ(BackupRetention::timeOf("nivo-scheduled-20261209-020007.dbk", "nivo"), taken);
    EXPECT_FALSE(BackupRetention::timeOf("nivo2-scheduled-20261209-020007.dbk", "nivo"));
    EXPECT_FALSE(BackupRetention::timeOf("nivo-scheduled-2026.dbk", "nivo"));
}
