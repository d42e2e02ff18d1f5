#include "platform/SecretFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimora::platform {

namespace {

// Far above any login line; a bigger file is not a credential.
constexpr off_t MaximumSize = 64 * 1024;

QString userName(uid_t uid)
{
    if (const passwd* entry = getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(uid);
}

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

SecretFile SecretFile::read(const QString& path, bool ownerOnly)
{
    SecretFile file;
    file.user = userName(geteuid());
    const Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        file.status = errno == ENOENT ? Status::Missing : Status::Unreadable;
        file.error = QString::fromLocal8Bit(std::strerror(errno));
        return file;
    }
    struct stat info = {};
    if (::fstat(fd.get(), &info) != 0) {
        file.status = Status::Unreadable;
        file.error = QString::fromLocal8Bit(std::strerror(errno));
        return file;
    }
    file.mode = info.st_mode & 07777;
    file.owner = userName(info.st_uid);
    if (!S_ISREG(info.st_mode) || info.st_size > MaximumSize) {
        file.status = Status::Unreadable;
        file.error = QString::fromLocal8Bit(std::strerror(S_ISREG(info.st_mode) ? EFBIG : EINVAL));
        return file;
    }
    if (ownerOnly && (info.st_uid != geteuid() || (info.st_mode & 077) != 0)) {
        file.status = Status::NotPrivate;
        return file;
    }
    file.content.resize(static_cast<qsizetype>(info.st_size));
    qsizetype done = 0;
    while (done < file.content.size()) {
        const ssize_t got = ::read(fd.get(), file.content.data() + done, file.content.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            file.status = Status::Unreadable;
            file.error = QString::fromLocal8Bit(std::strerror(errno));
            file.content.clear();
            return file;
        }
        if (got == 0)
            break;
        done += got;
    }
    file.content.truncate(done);
    file.status = Status::Read;
    return file;
}

} // namespace glimora::platform
