#include "backoffice/AdminDialog.h"
#include "backoffice/StationPresence.h"
#include "backoffice/StationStatusDialog.h"
#include "backoffice/StatusStatements.h"
#include "tests/backoffice/BackOfficeFixture.h"
#include "tests/support/WaitFor.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace glimora;
using backoffice::StationPresence;
using backoffice::StationStatusDialog;
using backoffice::StatusStatements;

namespace {

const char* const createTable
    = "if object_id('station_status') is null create table station_status "
      "(station nvarchar(64) not null primary key, version nvarchar(32) null, started_at datetime null, "
      "beat_seconds int not null, last_beat datetime not null, last_question datetime null, errors int not "
      "null, "
      "last_error_number int not null, last_error_text nvarchar(1000) null, last_backup datetime null, "
      "backup_problem nvarchar(1000) null)";
const char* const stations
    = "select station, version, started_at, beat_seconds, last_beat, last_question, errors, "
      "last_error_number, last_error_text, last_backup, backup_problem, getdate() "
      "from station_status order by station";

QTreeWidgetItem* row(StationStatusDialog& page, const QString& station)
{
    const QList<QTreeWidgetItem*> found
        = page.control<QTreeWidget>(1002)->findItems(station, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

TEST_F(BackOfficeTest, TheHeartbeatStatementsKeepOneRowPerStation)
{
    backoffice::StationBeat beat;
    beat.station = "north's";
    beat.version = "0.1.0";
    beat.startedAt = QDateTime(QDate(2026, 12, 9), QTime(8, 0));
    beat.lastQuestion = QDateTime(QDate(2026, 12, 9), QTime(8, 5, 30, 250));
    beat.errors = 2;
    beat.lastErrorNumber = 208;
    beat.lastErrorText = utf8("对象名 'inquiry' 无效。");
    beat.backupProblem = "Operating system error 28";
    const QString values
        = utf8("N'0.1.0', '2026-12-09T08:00:00.000', 60, getdate(), '2026-12-09T08:05:30.250', 2, "
               "208, N'对象名 ''inquiry'' 无效。', null, N'Operating system error 28'");
    EXPECT_EQ(StatusStatements::createTable(), createTable);
    EXPECT_EQ(StatusStatements::beat(beat),
        utf8("update station_status set version=N'0.1.0', started_at='2026-12-09T08:00:00.000', "
             "beat_seconds=60, "
             "last_beat=getdate(), last_question='2026-12-09T08:05:30.250', errors=2, last_error_number=208, "
             "last_error_text=N'对象名 ''inquiry'' 无效。', last_backup=null, "
             "backup_problem=N'Operating system error 28' where station=N'north''s' if @@rowcount=0 insert "
             "into "
             "station_status (station, version, started_at, beat_seconds, last_beat, last_question, errors, "
             "last_error_number, last_error_text, last_backup, backup_problem) values (N'north''s', ")
            + values + ")");
    EXPECT_EQ(StatusStatements::stations(), stations);

    // Created once however often it is asked for; the second beat updates the first's row.
    sql(StatusStatements::createTable() + " " + StatusStatements::createTable());
    sql(StatusStatements::beat(beat));
    beat.errors = 3;
    beat.lastBackup = QDateTime(QDate(2026, 12, 9), QTime(2, 0));
    beat.backupProblem.clear();
    sql(StatusStatements::beat(beat));
    const engine::test::Rows rows = sql(StatusStatements::stations());
    ASSERT_EQ(rows.rows.size(), 1);
    EXPECT_EQ(rows.rows[0][0], "north's");
    EXPECT_EQ(rows.rows[0][6], "3");
    EXPECT_EQ(rows.rows[0][8], utf8("对象名 'inquiry' 无效。"));
    EXPECT_TRUE(rows.rows[0][9].startsWith("2026-12-09 02:00:00")) << rows.rows[0][9].toStdString();
}

TEST(StationPresenceTest, OfflineOnceThreeBeatsAreMissedSinceTheLastOne)
{
    const QDateTime beat(QDate(2026, 12, 9), QTime(10, 0));
    EXPECT_TRUE(StationPresence::online(beat, 60, beat.addSecs(179)));
    EXPECT_TRUE(StationPresence::online(beat, 60, beat.addSecs(180)));
    EXPECT_FALSE(StationPresence::online(beat, 60, beat.addMSecs(180'001)));
    EXPECT_TRUE(StationPresence::online(beat, 1, beat.addSecs(3)));
    EXPECT_FALSE(StationPresence::online(beat, 1, beat.addSecs(4)));
    // A row without a sensible interval is judged by one second, not never.
    EXPECT_FALSE(StationPresence::online(beat, 0, beat.addSecs(4)));
    EXPECT_FALSE(StationPresence::online(QDateTime(), 60, beat));
    EXPECT_EQ(StationPresence::text(beat, 60, beat.addSecs(60)), QString::fromUtf8("在线"));
    EXPECT_EQ(StationPresence::text(beat, 60, beat.addSecs(600)),
        QString::fromUtf8("离线，自 2026-12-09 10:00:00"));
}

TEST_F(BackOfficeTest, TheStatusPageListsTheStationsFromTheMenu)
{
    {
        backoffice::AdminDialog menu;
        EXPECT_TRUE(menu.control(1013)->isVisibleTo(&menu)); // the demo writes its heartbeat
        settings::WriteSetting("status", "heartbeat", "0");
        backoffice::AdminDialog without;
        EXPECT_FALSE(without.control(1013)->isVisibleTo(&without));
    }
    sql(StatusStatements::createTable()
        + " insert station_status (station, version, started_at, beat_seconds, last_beat, errors, "
          "last_error_number, "
          "last_error_text, last_backup, backup_problem) values (N'north', N'0.1.0', '2026-12-09T08:00:00', "
          "60, "
          "getdate(), 0, 0, N'', '2026-12-09T02:00:00', N'') "
          "insert station_status (station, version, beat_seconds, last_beat, errors, last_error_number, "
          "last_error_text, backup_problem) values (N'south', N'0.1.0', 60, dateadd(minute, -10, getdate()), "
          "4, 208, "
          "N'Invalid object name', N'Operating system error 28')");

    data::StatementRecorder::start();
    StationStatusDialog page;
    EXPECT_EQ(data::StatementRecorder::statements(), QStringList({ createTable, stations }));
    using Column = StationStatusDialog::Column;
    QTreeWidgetItem* north = row(page, "north");
    QTreeWidgetItem* south = row(page, "south");
    ASSERT_TRUE(north && south);
    EXPECT_EQ(north->text(Column::PresenceColumn), utf8("在线"));
    EXPECT_EQ(north->text(Column::StartedColumn), "2026-12-09 08:00:00");
    EXPECT_EQ(north->text(Column::BackupColumn), "2026-12-09 02:00:00");
    EXPECT_TRUE(south->text(Column::PresenceColumn).startsWith(utf8("离线，自 ")));
    EXPECT_EQ(south->text(Column::ErrorsColumn), "4");
    EXPECT_EQ(south->text(Column::LastErrorColumn), "#208 Invalid object name");
    EXPECT_EQ(south->text(Column::BackupColumn), utf8("失败：Operating system error 28"));

    sql("update station_status set last_beat=getdate() where station=N'south'");
    QTest::mouseClick(page.control(1), Qt::LeftButton);
    EXPECT_EQ(row(page, "south")->text(Column::PresenceColumn), utf8("在线"));
    EXPECT_EQ(page.control<QTreeWidget>(1002)->topLevelItemCount(), 2);
    QTest::mouseClick(page.control(2), Qt::LeftButton);
    EXPECT_EQ(page.result(), ui::IDOK);
    EXPECT_TRUE(shown().isEmpty()) << shown().join("\n").toStdString();
}

// Three station processes beat into one database each second; one killed is offline after three
// missed beats, with the error it showed last, while the others stay online.
TEST_F(BackOfficeTest, AKilledStationIsShownOfflineWithItsLastError)
{
    struct Station
    {
        QTemporaryDir folder;
        QProcess process;
    };
    const QStringList names = { "east", "north", "west" };
    std::vector<std::unique_ptr<Station>> running;
    for (const QString& name : names) {
        auto station = std::make_unique<Station>();
        QFile settingsFile(station->folder.filePath("uinfo.ini"));
        ASSERT_TRUE(settingsFile.open(QIODevice::WriteOnly));
        settingsFile.write(("[status]\nheartbeat=1\nstation=" + name + "\ninterval=1\n").toUtf8());
        settingsFile.close();
        station->process.setWorkingDirectory(station->folder.path());
        station->process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        station->process.start(GLIMORA_STATUS_STATION, { workspace.filePath("sqldata"), SaPassword });
        ASSERT_TRUE(station->process.waitForStarted());
        running.push_back(std::move(station));
    }
    StationStatusDialog page;
    const auto presence = [&page](const QString& name) {
        QTest::mouseClick(page.control(1), Qt::LeftButton);
        QTreeWidgetItem* item = row(page, name);
        return item ? item->text(StationStatusDialog::PresenceColumn) : QString();
    };
    const QString online = utf8("在线");
    EXPECT_EVENTUALLY_WITHIN(
        presence("east") == online && presence("north") == online && presence("west") == online, 20000);

    running[1]->process.kill();
    ASSERT_TRUE(running[1]->process.waitForFinished());
    EXPECT_EVENTUALLY_WITHIN(presence("north").startsWith(utf8("离线")), 20000);
    EXPECT_EQ(presence("east"), online);
    EXPECT_EQ(presence("west"), online);
    QTreeWidgetItem* north = row(page, "north");
    ASSERT_NE(north, nullptr);
    EXPECT_EQ(north->text(StationStatusDialog::ErrorsColumn), "1");
    EXPECT_EQ(north->text(StationStatusDialog::LastErrorColumn), "#1105 disk full at north");
    EXPECT_EQ(north->text(StationStatusDialog::VersionColumn), "0.1-test");
    for (const auto& station : running) {
        station->process.kill();
        station->process.waitForFinished();
    }
}
