#pragma once

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <stdexcept>

namespace glimora::engine {

// A compound file (the container of .xls workbooks) read from memory: the header, the
// sector allocation table with its DIFAT continuation, the directory, and the small-block
// (mini) stream with its own table. Every offset, chain and size is checked against the
// file: a damaged or hostile file throws CompoundFile::Damaged, it never reads out of
// bounds nor loops.
class CompoundFile
{
public:
    class Damaged : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    static bool hasSignature(QByteArrayView bytes);

    // The bytes must outlive the object. Throws Damaged.
    explicit CompoundFile(QByteArrayView bytes);

    // The stream of that name among the root storage's children (case-insensitive), or
    // nothing. Throws Damaged when its sectors cannot be read.
    std::optional<QByteArray> rootStream(const QString& name) const;

private:
    struct Entry
    {
        QString name;
        quint8 type = 0;
        quint32 left = 0;
        quint32 right = 0;
        quint32 child = 0;
        quint32 start = 0;
        quint64 size = 0;
    };

    QByteArrayView sector(quint32 index) const;
    QList<quint32> chainOf(quint32 start, const QList<quint32>& table, quint64 maximumLength) const;
    QByteArray readChain(quint32 start, quint64 size) const;
    QByteArray readMiniChain(quint32 start, quint64 size) const;
    void readFat(quint32 fatSectors, quint32 firstDifat, quint32 difatSectors);
    void readDirectory(quint32 firstSector);

    QByteArrayView m_bytes;
    quint32 m_sectorShift = 9;
    quint32 m_sectorCount = 0; // sectors that begin inside the file
    quint32 m_miniCutoff = 4096;
    QList<quint32> m_fat;
    QList<quint32> m_miniFat;
    QByteArray m_miniStream;
    QList<Entry> m_entries;
};

} // namespace glimora::engine
