#include "platform/SecretFile.h"

#include <QFile>

// Ownership and modes are not checked here: a file that must be private is refused.
namespace glimora::platform {

SecretFile SecretFile::read(const QString& path, bool ownerOnly)
{
    SecretFile file;
    QFile source(path);
    if (!source.exists())
        return file;
    if (ownerOnly) {
        file.status = Status::NotPrivate;
        return file;
    }
    if (!source.open(QIODevice::ReadOnly)) {
        file.status = Status::Unreadable;
        file.error = source.errorString();
        return file;
    }
    file.content = source.read(64 * 1024);
    file.status = Status::Read;
    return file;
}

} // namespace glimora::platform
