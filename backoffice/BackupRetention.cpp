#include "backoffice/BackupRetention.h"

#include <algorithm>
#include <functional>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace glimora::backoffice {

namespace {

const QString stampFormat = QStringLiteral("yyyyMMdd-HHmmss");

QString prefixOf(const QString& database)
{
    return database + QStringLiteral("-scheduled-");
}

// Marks the newest backup of each of the last `count` periods that have one.
void keepNewestPerPeriod(const QList<QDateTime>& taken, const QList<int>& newestFirst, int count,
    const std::function<qint64(const QDate&)>& periodOf, QList<bool>& kept)
{
    QSet<qint64> periods;
    for (const int index : newestFirst) {
        const qint64 period = periodOf(taken[index].date());
        if (periods.contains(period))
            continue;
        if (periods.size() >= count)
            break;
        periods.insert(period);
        kept[index] = true;
    }
}

} // namespace

QString BackupRetention::fileName(const QString& database, const QDateTime& taken)
{
    return prefixOf(database) + taken.toString(stampFormat) + QStringLiteral(".dbk");
}

std::optional<QDateTime> BackupRetention::timeOf(const QString& fileName, const QString& database)
{
    const QString prefix = prefixOf(database);
    if (!fileName.startsWith(prefix) || !fileName.endsWith(QLatin1String(".dbk")))
        return std::nullopt;
    const QDateTime taken = QDateTime::fromString(
        fileName.mid(prefix.size(), fileName.size() - prefix.size() - 4), stampFormat);
    if (!taken.isValid())
        return std::nullopt;
    return taken;
}

QList<bool> BackupRetention::kept(const QList<QDateTime>& taken, const BackupSchedule& schedule)
{
    QList<int> newestFirst;
    for (int i = 0; i < taken.size(); ++i)
        newestFirst << i;
    std::sort(newestFirst.begin(), newestFirst.end(), [&taken](int a, int b) { return taken[a] > taken[b]; });
    QList<bool> kept(taken.size(), false);
    if (taken.isEmpty())
        return kept;
    kept[newestFirst.first()] = true;
    keepNewestPerPeriod(
        taken, newestFirst, schedule.keepDaily, [](const QDate& d) { return d.toJulianDay(); }, kept);
    keepNewestPerPeriod(
        taken, newestFirst, schedule.keepWeekly,
        [](const QDate& d) {
            int year = 0;
            const int week = d.weekNumber(&year);
            return qint64(year) * 100 + week;
        },
        kept);
    keepNewestPerPeriod(
        taken, newestFirst, schedule.keepMonthly,
        [](const QDate& d) { return qint64(d.year()) * 100 + d.month(); }, kept);
    return kept;
}

QStringList BackupRetention::files(const BackupSchedule& schedule, const QString& database)
{
    const QDir dir(schedule.folder);
    QStringList paths;
    const QStringList names
        = dir.entryList({ prefixOf(database) + QStringLiteral("*.dbk") }, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (timeOf(name, database))
            paths << dir.filePath(name);
    }
    return paths;
}

std::optional<QDateTime> BackupRetention::lastTaken(const BackupSchedule& schedule, const QString& database)
{
    const QStringList all = files(schedule, database);
    if (all.isEmpty())
        return std::nullopt;
    return timeOf(QFileInfo(all.last()).fileName(), database);
}

int BackupRetention::prune(const BackupSchedule& schedule, const QString& database)
{
    const QStringList all = files(schedule, database);
    QList<QDateTime> taken;
    for (const QString& path : all)
        taken << *timeOf(QFileInfo(path).fileName(), database);
    const QList<bool> keep = kept(taken, schedule);
    int removed = 0;
    for (int i = 0; i < all.size(); ++i) {
        if (!keep[i] && QFile::remove(all[i]))
            ++removed;
    }
    return removed;
}

} // namespace glimora::backoffice
