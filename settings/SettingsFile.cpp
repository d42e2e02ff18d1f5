#include "settings/SettingsFile.h"

#include "settings/IniDocument.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <sys/stat.h>
#include <time.h>

namespace glimora::settings {

namespace {

constexpr qsizetype maximumValueLength = 3999;

QMutex& settingsMutex()
{
    static QMutex mutex;
    return mutex;
}

QString& capturedDirectory()
{
    static QString directory;
    return directory;
}

// Caller holds settingsMutex().
QString directoryLocked()
{
    return capturedDirectory().isEmpty() ? QDir::currentPath() : capturedDirectory();
}

// Caller holds settingsMutex().
QString filePathLocked()
{
    return QDir(directoryLocked()).filePath(QStringLiteral("uinfo.ini"));
}

bool isRegularFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

// What tells one version of the file from another without reading it. Writers replace the
// file atomically, so a new version has a new inode even within one timestamp tick.
struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified {};
    timespec changed {};

    bool operator==(const FileStamp& other) const
    {
        return device == other.device && inode == other.inode && size == other.size
            && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec
            && changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

std::optional<FileStamp> stampOf(const QString& path)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return FileStamp { status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim };
}

// An edit in place within the same timestamp tick as a read keeps the stamp (coarse clocks,
// FAT's two seconds), so a version changed this recently is read again next time.
constexpr qint64 settledNanoseconds = 3'000'000'000;

bool settled(const FileStamp& stamp, const timespec& readAt)
{
    const auto nanoseconds = [](const timespec& t) { return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    return nanoseconds(readAt) - nanoseconds(stamp.modified) >= settledNanoseconds;
}

struct CachedDocument
{
    QString path;
    FileStamp stamp;
    IniDocument document = IniDocument::fromBytes({});
};

// Caller holds settingsMutex().
std::optional<CachedDocument>& cachedDocument()
{
    static std::optional<CachedDocument> cached;
    return cached;
}

// Caller holds settingsMutex(). Reads the file only when it is not the version last read.
IniDocument readDocumentLocked()
{
    const QString path = filePathLocked();
    std::optional<CachedDocument>& cached = cachedDocument();
    timespec readAt {};
    ::clock_gettime(CLOCK_REALTIME, &readAt);
    const std::optional<FileStamp> before = stampOf(path);
    if (cached && before && cached->path == path && cached->stamp == *before)
        return cached->document;
    cached.reset();
    // Opening a pipe waits for a writer and a device may never end: either would hang the
    // station at every read, so only a regular file is read.
    QFile file(path);
    if (!before || !file.open(QIODevice::ReadOnly))
        return IniDocument::fromBytes({});
    IniDocument document = IniDocument::fromBytes(file.readAll());
    const std::optional<FileStamp> after = stampOf(path);
    if (after && *after == *before && settled(*before, readAt))
        cached = CachedDocument { path, *before, document };
    return document;
}

} // namespace

void setSettingsDirectory(const QString& directory)
{
    QMutexLocker lock(&settingsMutex());
    capturedDirectory() = directory;
}

QString settingsDirectory()
{
    QMutexLocker lock(&settingsMutex());
    return directoryLocked();
}

QString settingsFilePath()
{
    QMutexLocker lock(&settingsMutex());
    return filePathLocked();
}

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue)
{
    QString value;
    {
        QMutexLocker lock(&settingsMutex());
        value = readDocumentLocked().value(section, key);
    }
    if (value.isEmpty())
        return defaultValue;
    return value.left(maximumValueLength);
}

int ReadSettingInt(const QString& section, const QString& key, const QString& defaultValue)
{
    return leadingInteger(ReadSetting(section, key, defaultValue));
}

bool WriteSetting(const QString& section, const QString& key, const QString& value)
{
    // Readers and writers of this process must not interleave a read with a half-done edit.
    QMutexLocker lock(&settingsMutex());
    const QString path = filePathLocked();
    QByteArray bytes;
    QFile existing(path);
    if (existing.exists()) {
        if (!isRegularFile(path)) {
            qWarning("uinfo.ini not written: it is not a regular file");
            return false;
        }
        if (!existing.open(QIODevice::ReadOnly)) {
            qWarning("uinfo.ini not written: %s", qPrintable(existing.errorString()));
            return false;
        }
        bytes = existing.readAll();
        if (existing.error() != QFileDevice::NoError) {
            qWarning("uinfo.ini not written: %s", qPrintable(existing.errorString()));
            return false;
        }
        existing.close();
    }

    QByteArray written;
    try {
        IniDocument document = IniDocument::fromBytes(bytes);
        document.setValue(section, key, value);
        written = document.toBytes();
    } catch (const std::exception& error) {
        qWarning("uinfo.ini not written: %s", error.what());
        return false;
    }

    cachedDocument().reset();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(written) != written.size() || !file.commit()) {
        qWarning("uinfo.ini not written: %s", qPrintable(file.errorString()));
        return false;
    }
    return true;
}

int leadingInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size()
        && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r' || text[i] == u'\v'
            || text[i] == u'\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return static_cast<int>(negative ? -value : value);
}

float leadingFloat(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const char* at = bytes.constData();
    const char* const end = at + bytes.size();
    while (at < end && (*at == ' ' || (*at >= '\t' && *at <= '\r')))
        ++at;
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) {
        negative = *at == '-';
        ++at;
    }
    if (at < end && (*at == '+' || *at == '-'))
        return 0; // from_chars takes a second sign that strtof refuses
    std::chars_format format = std::chars_format::general;
    const auto hexDigit
        = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    if (end - at > 2 && at[0] == '0' && (at[1] == 'x' || at[1] == 'X') && hexDigit(at[2])) {
        format = std::chars_format::hex;
        at += 2;
    }
    float value = 0;
    const auto [stop, error] = std::from_chars(at, end, value, format);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a float: a double tells which, or else the exponent's sign.
        double wide = 0;
        bool small = false;
        if (std::from_chars(at, end, wide, format).ec == std::errc()) {
            small = std::fabs(wide) < 1;
        } else {
            const char mark = format == std::chars_format::hex ? 'p' : 'e';
            for (const char* c = at; c + 1 < stop; ++c) {
                if ((*c | 0x20) == mark)
                    small = c[1] == '-';
            }
        }
        value = small ? 0.0f : std::numeric_limits<float>::infinity();
    } else if (error != std::errc()) {
        return 0;
    }
    return negative ? -value : value;
}

bool ReadSwitch(const QString& section, const QString& key)
{
    return ReadSettingInt(section, key, QStringLiteral("0")) != 0;
}

bool WriteSwitch(const QString& section, const QString& key, bool on)
{
    return WriteSetting(section, key, on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace glimora::settings
