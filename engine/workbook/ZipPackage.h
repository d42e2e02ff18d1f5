#pragma once

#include <functional>
#include <QByteArray>
#include <QString>

struct zip;

namespace glimora::engine {

// Read-only access to the parts of a zip package with hard limits, so that a small hostile
// file (a "zip bomb") can cost neither unbounded memory nor unbounded time. Sizes are
// counted on the bytes actually inflated, not on what the archive claims.
class ZipPackage
{
public:
    struct Limits
    {
        qint64 maximumEntries = 10'000;
        qint64 maximumEntrySize = 512LL * 1024 * 1024;
        qint64 maximumTotalSize = 1024LL * 1024 * 1024;
    };

    // Throws WorkbookError (naming path) when the package cannot be opened.
    ZipPackage(const QString& path, Limits limits);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // Part names are compared case-insensitively, as packages require.
    bool contains(const QString& name) const;
    QByteArray read(const QString& name);
    // Hands the inflated part to consumer piece by piece.
    void readChunks(const QString& name, const std::function<void(QByteArrayView)>& consumer);

private:
    qint64 locate(const QString& name) const;

    QString m_path;
    Limits m_limits;
    zip* m_archive = nullptr;
    qint64 m_totalRead = 0;
};

} // namespace glimora::engine
