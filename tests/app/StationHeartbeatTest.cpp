#include "app/StationHeartbeat.h"
#include "app/ScheduledBackups.h"
#include "backoffice/StatusStatements.h"
#include "platform/EventLog.h"
#include "tests/query/QueryStation.h"
#include "tests/support/WaitFor.h"
#include "ui/OkMessageBox.h"

#include <gtest/gtest.h>
#include <QSemaphore>
#include <QTimer>

using namespace glimora;
using app::StationHeartbeat;
using backoffice::StatusStatements;

// A beat the server refuses is counted and the next one tries again, creating the table
// first; a write that hangs holds up neither the caller nor its event loop, and the beat
// that finds it still under way is a missed one.
TEST(StationHeartbeatTest, AFailedOrHungWriteIsCountedAndRetriedWhileTheScreenGoesOn)
{
    QList<QStringList> sent;
    QString refusal = QStringLiteral("[08S01] the server went away");
    QSemaphore release;
    bool hang = false;
    const QDateTime start(QDate(2026, 12, 9), QTime(8, 0));
    StationHeartbeat heartbeat(
        "north", 60, [&] { return start; },
        [&](const QStringList& statements) {
            sent.append(statements);
            if (hang)
                release.acquire();
            return refusal;
        });
    const auto beatAndWait = [&] {
        heartbeat.beat();
        EXPECT_EVENTUALLY(!heartbeat.running());
    };
    beatAndWait();
    EXPECT_EQ(heartbeat.failedBeats(), 1);
    EXPECT_EQ(heartbeat.lastProblem(), refusal);
    refusal.clear();
    beatAndWait();
    beatAndWait();
    const QString beatText = StatusStatements::beat(heartbeat.currentBeat());
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0], QStringList({ StatusStatements::createTable(), beatText }));
    EXPECT_EQ(sent[1], sent[0]);
    EXPECT_EQ(sent[2], QStringList { beatText });
    EXPECT_EQ(heartbeat.failedBeats(), 1);
    EXPECT_EQ(heartbeat.currentBeat().startedAt, start);

    hang = true;
    heartbeat.beat();
    bool screenServed = false;
    QTimer::singleShot(0, [&] { screenServed = true; });
    EXPECT_EVENTUALLY(screenServed);
    EXPECT_TRUE(heartbeat.running());
    heartbeat.beat();
    EXPECT_EQ(heartbeat.failedBeats(), 2);
    release.release();
    EXPECT_EVENTUALLY(!heartbeat.running());
    EXPECT_EQ(sent.size(), 4);
}

// Through a connection of its own to the station's database: the row carries the errors shown
// to a person and the backup that failed; a table dropped meanwhile (an older backup restored)
// fails one beat and is there again at the next.
TEST(StationHeartbeatOnTheServerTest, TheRowCarriesTheErrorsAndBackupsAndOutlivesADroppedTable)
{
    QueryStation station("[system]\ndatabase=nivo\n[status]\nheartbeat=1\nstation=kiosk-7\ninterval=30\n");
    const int shownBefore = platform::EventLog::shownErrors().count;
    ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);
    ui::OkMessageBox::show(nullptr, QStringLiteral("first"), 0);
    ui::OkMessageBox::show(nullptr, QStringLiteral("Invalid object name 'inquiry'."), 208);
    ui::OkMessageBox::setAutoAnswer(QMessageBox::NoButton);

    backoffice::BackupSchedule schedule = *backoffice::BackupSchedule::parse("daily 02:00");
    schedule.folder = station.workspace.filePath("backups");
    app::ScheduledBackups backups(schedule, "nivo", {},
        [](const QString&, const QString&) { return QStringLiteral("Operating system error 28."); });
    backups.check();
    EXPECT_EVENTUALLY(!backups.running());

    std::unique_ptr<StationHeartbeat> heartbeat = StationHeartbeat::fromSettings();
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(heartbeat->intervalSeconds(), 30);
    heartbeat->setBackups(&backups);
    const auto beatAndWait = [&] {
        heartbeat->beat();
        EXPECT_EVENTUALLY(!heartbeat->running());
    };
    beatAndWait();
    EXPECT_EQ(heartbeat->lastProblem(), QString());
    const QString columns = "select station, cast(beat_seconds as varchar(9)), cast(errors as varchar(9)), "
                            "cast(last_error_number as varchar(9)), last_error_text, backup_problem "
                            "from station_status";
    const QStringList expected
        = { QStringLiteral("kiosk-7|30|%1|208|Invalid object name 'inquiry'.|Operating system error 28.")
                  .arg(shownBefore + 2) };
    EXPECT_EQ(station.rows(columns), expected);

    station.execute("drop table station_status");
    beatAndWait();
    EXPECT_EQ(heartbeat->failedBeats(), 1);
    beatAndWait();
    EXPECT_EQ(heartbeat->failedBeats(), 1);
    EXPECT_EQ(station.rows(columns), expected);
}
