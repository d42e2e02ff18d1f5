#include "data/DbError.h"
#include "engine/backup/SetChecksum.h"
#include "tests/fuzz/FuzzTargets.h"
#include "tests/fuzz/ScratchServer.h"

#include <algorithm>
#include <memory>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <sodium.h>

namespace glimora::fuzz {

namespace {

const QByteArray marker("GLIMORA-BACKUP\r\n", 16);

// Mutated images nearly always fail their checksum before SQLite sees them; with the
// checksums made right again, the fuzzer reaches the check of the image as a database
// and the restore of a database whose content is damaged.
QByteArray withChecksumsFixed(QByteArray device)
{
    qsizetype at = 0;
    while (device.mid(at, marker.size()) == marker && device.size() - at >= marker.size() + 4) {
        quint32 headerSize = 0;
        QDataStream(device.mid(at + marker.size(), 4)) >> headerSize;
        const qsizetype headerAt = at + marker.size() + 4;
        if (headerSize > 4096 || device.size() - headerAt < qsizetype(headerSize))
            break;
        const QByteArray header = device.mid(headerAt, headerSize);
        QDataStream in(header);
        in.setVersion(QDataStream::Qt_6_0);
        quint32 version = 0;
        QString database;
        qint64 time = 0;
        quint64 imageSize = 0;
        in >> version >> database >> time >> imageSize;
        if (in.status() != QDataStream::Ok || !engine::SetChecksum::knows(version))
            break;
        const int checksumSize = engine::SetChecksum::size(version);
        const qsizetype imageAt = headerAt + headerSize + checksumSize;
        if (imageAt > device.size() || imageSize > quint64(device.size() - imageAt))
            break;
        engine::SetChecksum checksum(version, header);
        const qint64 blockSize = engine::SetChecksum::BlockSize;
        for (qint64 done = 0; done < qint64(imageSize); done += blockSize) {
            checksum.addBlock(done / blockSize, device.constData() + imageAt + done,
                qMin(blockSize, qint64(imageSize) - done));
        }
        const QByteArray result = checksum.result();
        std::copy(result.begin(), result.end(), device.begin() + headerAt + headerSize);
        at = imageAt + qsizetype(imageSize);
    }
    return device;
}

bool isServerError(const data::DbError& error)
{
    return error.nativeError() > 0 && !error.description().isEmpty();
}

// Runs a batch that may fail, but only with a server error; true when it ran.
bool runs(data::BackendSession& session, const QString& batch)
{
    try {
        data::ExecuteResult result = session.execute(batch, 10);
        if (result.cursor) {
            QList<data::Variant> row;
            while (result.cursor->fetchRow(row)) { }
        }
        return true;
    } catch (const data::DbError& error) {
        fuzzCheck(isServerError(error), "a failed restore carries a server error",
            qPrintable(QString::number(error.nativeError()) + u' ' + error.description()));
        return false;
    }
}

} // namespace

// The first byte chooses: bit 0 makes the checksums right, bits 1 and 2 the set number - 1.
int backupDevice(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4 * 1024 * 1024)
        return 0;
    static std::unique_ptr<ScratchServer> server;
    if (!server) {
        if (sodium_init() < 0)
            fuzzFailure("libsodium does not start");
        server = std::make_unique<ScratchServer>();
    }
    QByteArray device(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1)
        device = withChecksumsFixed(device);
    const int fileNumber = ((data[0] >> 1) & 3) + 1;
    const QString path = QDir(server->folder()).filePath(QStringLiteral("input.dbk"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(device) != device.size())
            fuzzFailure("the device cannot be written");
    }

    const QString from = QStringLiteral(" from disk='%1' with file=%2").arg(path).arg(fileNumber);
    {
        auto session = server->connect(QStringLiteral("master"));
        if (runs(*session, QStringLiteral("restore verifyonly") + from)
            && runs(*session, QStringLiteral("restore database fuzzrestore") + from)) {
            // Whatever the restored database holds is read as the station would read it.
            runs(*session, QStringLiteral("use fuzzrestore select * from inquiry"));
            runs(*session, QStringLiteral("use fuzzrestore select * from contrast order by nober"));
            runs(*session, QStringLiteral("use fuzzrestore insert username(uname) values('x')"));
            runs(*session, QStringLiteral("use master"));
            fuzzCheck(runs(*session, QStringLiteral("drop database fuzzrestore")),
                "a restored database can be dropped");
        }
    }
    fuzzCheck(server->unchanged(),
        "a restore, failed or dropped, leaves the server's logins and databases as they were");
    return 0;
}

} // namespace glimora::fuzz
