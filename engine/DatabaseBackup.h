#pragma once

#include "engine/BackupFile.h"
#include "engine/Catalogue.h"

#include <QString>

struct sqlite3;

namespace glimora::engine {

// BACKUP DATABASE and RESTORE DATABASE against the server's files. A backup is a snapshot
// taken in one read transaction while other sessions go on; a restore checks the whole
// backup set before it touches the live database, then swaps the files in one rename.
class DatabaseBackup
{
public:
    explicit DatabaseBackup(Catalogue& catalogue);

    void backup(const QString& database, const QString& device, bool init);
    void restore(const QString& database, const QString& device, int fileNumber, bool replace,
        const QString& ownerLogin);
    void verify(const QString& device, int fileNumber);

    // A relative device is taken in the backup folder of the data folder.
    QString devicePath(const QString& device) const;
    // Files that a restore or backup left when its process died.
    static void removeLeftovers(const QString& dataDirectory);

private:
    void refuseServerFile(const QString& path);
    QByteArray snapshot(const Catalogue::DatabaseEntry& entry);
    BackupFile::Set readSet(const QString& path, int fileNumber);
    // Writes the image beside `livePath` and checks it as a database; returns its path.
    QString extract(const BackupFile::Set& set, const QString& livePath, const QString& device);
    void takeOver(const QString& livePath);

    Catalogue& m_catalogue;
};

} // namespace glimora::engine
