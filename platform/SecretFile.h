#pragma once

#include <QByteArray>
#include <QString>

namespace glimora::platform {

// A small file that holds a secret, read in one go. The checks are made on the opened file,
// so the file read is the file checked.
struct SecretFile
{
    enum class Status { Read, Missing, Unreadable, NotPrivate };

    // With `ownerOnly`, a file that is not owned by this process's user, or that its group or
    // anyone else may read or write, is refused unread.
    static SecretFile read(const QString& path, bool ownerOnly);

    Status status = Status::Missing;
    QByteArray content;
    QString error; // why it could not be read (the system's words)
    unsigned mode = 0; // permission bits, as in 0644
    QString owner; // the file's owner
    QString user; // this process's user
};

} // namespace glimora::platform
