#include "backoffice/Snapshots.h"

#include "settings/SnapshotSetting.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace glimora::backoffice {

namespace {

QString prefixOf(const QString& database)
{
    return database + QLatin1Char('-');
}

} // namespace

QString Snapshots::newPath(const QString& database, const QString& job)
{
    const QDir dir(settings::SnapshotSetting::folder());
    dir.mkpath(QStringLiteral("."));
    // The time first, so that names sort as the snapshots were taken.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = dir.filePath(prefixOf(database) + stamp + QLatin1Char('-') + job + QStringLiteral(".dbk"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(prefixOf(database) + stamp + QLatin1Char('.') + QString::number(n)
            + QLatin1Char('-') + job + QStringLiteral(".dbk"));
    return path;
}

QStringList Snapshots::existing(const QString& database)
{
    const QDir dir(settings::SnapshotSetting::folder());
    QStringList paths;
    const QStringList names
        = dir.entryList({ prefixOf(database) + QStringLiteral("[0-9]*.dbk") }, QDir::Files, QDir::Name);
    for (const QString& name : names)
        paths << dir.filePath(name);
    return paths;
}

QString Snapshots::latest(const QString& database)
{
    const QStringList all = existing(database);
    return all.isEmpty() ? QString() : all.last();
}

void Snapshots::prune(const QString& database, const QString& spare)
{
    QStringList all = existing(database);
    const int keep = qMax(1, settings::SnapshotSetting::kept());
    for (int n = 0; all.size() - n > keep; ++n) {
        // The same file however its path was written (a restore's comes from the file dialog).
        if (spare.isEmpty() || QFileInfo(all[n]) != QFileInfo(spare))
            QFile::remove(all[n]);
    }
}

} // namespace glimora::backoffice
