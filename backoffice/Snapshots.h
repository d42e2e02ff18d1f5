#pragma once

#include <QString>
#include <QStringList>

namespace glimora::backoffice {

// The snapshots taken before every import and restore (see settings::SnapshotSetting), so
// that a wrong one can be undone. The server writes the files; the station counts and
// removes them where it can see the folder.
class Snapshots
{
public:
    // A new file name for a snapshot of `database` before `job` ("import", "restore").
    static QString newPath(const QString& database, const QString& job);
    // The snapshots of `database` in the folder, oldest first.
    static QStringList existing(const QString& database);
    static QString latest(const QString& database);
    // Removes the oldest beyond kept(); never the last one, never `spare`.
    static void prune(const QString& database, const QString& spare = QString());
};

} // namespace glimora::backoffice
