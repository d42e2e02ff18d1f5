#include "backoffice/BackupSchedule.h"

#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QStringList>

namespace glimora::backoffice {

namespace {

int countSetting(const QString& key, int fallback)
{
    bool ok = false;
    const int value = settings::ReadSetting(QStringLiteral("schedule"), key, QString()).trimmed().toInt(&ok);
    return ok && value >= 0 ? value : fallback;
}

} // namespace

std::optional<BackupSchedule> BackupSchedule::parse(const QString& text)
{
    const QStringList words = text.simplified().toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    BackupSchedule schedule;
    QString time;
    if (words.size() == 2 && words[0] == QLatin1String("daily")) {
        time = words[1];
    } else if (words.size() == 3 && words[0] == QLatin1String("weekly")) {
        bool ok = false;
        schedule.weekday = words[1].toInt(&ok);
        if (!ok || schedule.weekday < 1 || schedule.weekday > 7)
            return std::nullopt;
        time = words[2];
    } else {
        return std::nullopt;
    }
    schedule.time = QTime::fromString(time, QStringLiteral("H:mm"));
    if (!schedule.time.isValid())
        return std::nullopt;
    return schedule;
}

std::optional<BackupSchedule> BackupSchedule::fromSettings()
{
    std::optional<BackupSchedule> schedule
        = parse(settings::ReadSetting(QStringLiteral("schedule"), QStringLiteral("backup"), QString()));
    if (!schedule)
        return std::nullopt;
    const QString folder
        = settings::ReadSetting(QStringLiteral("schedule"), QStringLiteral("backupdir"), QString()).trimmed();
    schedule->folder = QDir(settings::Settings::instance().directory)
                           .absoluteFilePath(folder.isEmpty() ? QStringLiteral("backups") : folder);
    schedule->keepDaily = countSetting(QStringLiteral("keepdaily"), 7);
    schedule->keepWeekly = countSetting(QStringLiteral("keepweekly"), 4);
    schedule->keepMonthly = countSetting(QStringLiteral("keepmonthly"), 12);
    return schedule;
}

QDateTime BackupSchedule::lastDue(const QDateTime& now) const
{
    QDate day = now.date();
    if (now.time() < time)
        day = day.addDays(-1);
    if (weekday != 0) {
        while (day.dayOfWeek() != weekday)
            day = day.addDays(-1);
    }
    QDateTime due = now; // in the same time zone as now
    due.setDate(day);
    due.setTime(time);
    return due;
}

bool BackupSchedule::isDue(const QDateTime& now, const std::optional<QDateTime>& lastTaken) const
{
    return !lastTaken || *lastTaken < lastDue(now);
}

} // namespace glimora::backoffice
