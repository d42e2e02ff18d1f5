#pragma once

#include "engine/backup/BackupFile.h"
#include "engine/server/Catalogue.h"

#include <QString>

namespace glimora::engine {

// BACKUP DATABASE and RESTORE DATABASE against the server's files. A backup is a snapshot
// taken in one read transaction while other sessions go on; a restore checks the whole
// backup set before it touches the live database, then swaps the files in one rename.
// Both stream: memory does not grow with the size of a database.
class DatabaseBackup
{
public:
    explicit DatabaseBackup(Catalogue& catalogue);

    void backup(const QString& database, const QString& device, bool init, bool format = false);
    void restore(const QString& database, const QString& device, int fileNumber, bool replace,
        const QString& ownerLogin);
    void verify(const QString& device, int fileNumber);

    // A relative device is taken in the backup folder of the data folder.
    QString devicePath(const QString& device) const;
    // Files that a restore or backup left when its process died.
    static void removeLeftovers(Catalogue& catalogue);

private:
    void refuseServerFile(const QString& path);
    static BackupFile::Set chooseSet(int descriptor, const QString& path, int fileNumber);
    // Writes the image of `set` into a new file of the data folder and checks it as a
    // database; returns its path.
    QString extract(int device, const BackupFile::Set& set, const QString& devicePath);
    // Gives a restored file a name of its own in the data folder, then registers it.
    void placeNew(const QString& temporary, const QString& database, const QString& ownerLogin);

    Catalogue& m_catalogue;
};

} // namespace glimora::engine
