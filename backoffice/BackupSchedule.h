#pragma once

#include <optional>
#include <QDateTime>
#include <QString>

namespace glimora::backoffice {

// The station's own backups, as section `schedule` of uinfo.ini sets them:
// `backup=daily 02:00` or `backup=weekly 7 02:00` (days 1 Monday to 7 Sunday), the folder
// `backupdir` (by default `backups` in the station's folder) and how many to keep:
// `keepdaily` (7), `keepweekly` (4), `keepmonthly` (12). No `backup` key: no schedule.
struct BackupSchedule
{
    int weekday = 0; // 0: every day
    QTime time;
    QString folder;
    int keepDaily = 7;
    int keepWeekly = 4;
    int keepMonthly = 12;

    static std::optional<BackupSchedule> fromSettings();
    static std::optional<BackupSchedule> parse(const QString& text);

    // The last moment at or before `now` when a backup was due.
    QDateTime lastDue(const QDateTime& now) const;
    // Due when no backup was taken since the last due moment: one missed while the
    // station was off is taken at its start.
    bool isDue(const QDateTime& now, const std::optional<QDateTime>& lastTaken) const;
};

} // namespace glimora::backoffice
