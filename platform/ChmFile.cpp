#include "platform/ChmFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace glimora::platform {

namespace {

QByteArray objectPath(const QString& path)
{
    QString normalized = path;
    normalized.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!normalized.startsWith(QLatin1Char('/')))
        normalized.prepend(QLatin1Char('/'));
    return normalized.toUtf8();
}

quint32 readUInt32(const QByteArray& bytes, qsizetype offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

} // namespace

std::unique_ptr<ChmFile> ChmFile::open(std::shared_ptr<const ChmLibrary> library, const QString& fileName)
{
    // The library would wait in a pipe for a writer, and the help button with it.
    if (!QFileInfo(fileName).isFile())
        return nullptr;
    chmFile* handle = library->open(QFile::encodeName(fileName).constData());
    if (!handle)
        return nullptr;
    return std::unique_ptr<ChmFile>(new ChmFile(std::move(library), handle));
}

ChmFile::ChmFile(std::shared_ptr<const ChmLibrary> library, chmFile* handle)
    : m_library(std::move(library))
    , m_handle(handle)
{
}

ChmFile::~ChmFile()
{
    m_library->close(m_handle);
}

bool ChmFile::contains(const QString& path) const
{
    chmUnitInfo unit;
    return m_library->resolve(m_handle, objectPath(path).constData(), &unit) == CHM_RESOLVE_SUCCESS;
}

QByteArray ChmFile::read(const QString& path) const
{
    chmUnitInfo unit;
    if (m_library->resolve(m_handle, objectPath(path).constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return QByteArray();
    // A damaged directory may claim any length; no help object comes near this.
    constexpr LONGUINT64 largestObject = 64 * 1024 * 1024;
    if (unit.length > largestObject)
        return QByteArray();
    QByteArray bytes(qsizetype(unit.length), Qt::Uninitialized);
    const LONGINT64 got = m_library->retrieve(
        m_handle, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0, LONGINT64(unit.length));
    if (got != LONGINT64(unit.length))
        return QByteArray();
    if (bytes.isNull())
        bytes = QByteArray("", 0); // an empty object is still there
    return bytes;
}

QString ChmFile::pageForContext(quint32 context) const
{
    const QByteArray map = read(QStringLiteral("/#IVB"));
    const QByteArray names = read(QStringLiteral("/#STRINGS"));
    if (map.size() < 4 || names.isEmpty())
        return QString();
    const qsizetype end = qMin<qsizetype>(map.size(), 4 + qsizetype(readUInt32(map, 0)));
    for (qsizetype entry = 4; entry + 8 <= end; entry += 8) {
        if (readUInt32(map, entry) != context)
            continue;
        const quint32 offset = readUInt32(map, entry + 4);
        if (offset >= quint32(names.size()))
            return QString();
        const char* start = names.constData() + offset;
        const qsizetype length = qstrnlen(start, size_t(names.size() - offset));
        return existingPage(QString::fromUtf8(start, length));
    }
    return QString();
}

// chmcmd stores the page with the absolute folder it was compiled in
// ("/tmp/build/login.htm"); drop leading folders until the name is one of ours.
QString ChmFile::existingPage(QString name) const
{
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (!name.isEmpty()) {
        if (contains(name))
            return QString::fromUtf8(objectPath(name));
        const qsizetype slash = name.indexOf(QLatin1Char('/'), 1);
        if (slash < 0)
            break;
        name = name.mid(slash);
    }
    return QString();
}

} // namespace glimora::platform
