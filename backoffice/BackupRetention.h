#pragma once

#include "backoffice/BackupSchedule.h"

#include <optional>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace glimora::backoffice {

// The files of the scheduled backups, `<database>-scheduled-<yyyyMMdd-HHmmss>.dbk`, and which
// of them are kept: the newest of each of the last `keepDaily` days that have one, of the
// last `keepWeekly` weeks and of the last `keepMonthly` months. The newest is always kept.
class BackupRetention
{
public:
    static QString fileName(const QString& database, const QDateTime& taken);
    static std::optional<QDateTime> timeOf(const QString& fileName, const QString& database);

    // Whether each of `taken` (any order) is kept.
    static QList<bool> kept(const QList<QDateTime>& taken, const BackupSchedule& schedule);

    // The scheduled backups of `database` in the schedule's folder, oldest first.
    static QStringList files(const BackupSchedule& schedule, const QString& database);
    static std::optional<QDateTime> lastTaken(const BackupSchedule& schedule, const QString& database);
    // Removes what retention does not keep; returns how many files were removed.
    static int prune(const BackupSchedule& schedule, const QString& database);
};

} // namespace glimora::backoffice
