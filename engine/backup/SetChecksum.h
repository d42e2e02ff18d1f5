#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <memory>

namespace glimora::engine {

// The checksum a backup set stores over its header and image, for each format version this
// server reads. Version 1: BLAKE2b-256 over the header, then the image. Version 2, which new
// sets use: XXH3-128 over the XXH3-128 digests of the image's blocks (of BlockSize bytes)
// from the second on, then the digest of the first block, then the header. So a writer can
// take each block as it is written and the first one, which SQLite changes last, at the end.
class SetChecksum
{
public:
    static constexpr quint32 CurrentVersion = 2;
    static constexpr qint64 BlockSize = 1 << 20;

    static bool knows(quint32 version);
    static int size(quint32 version);

    // For a stored set of any version: its header is known before its image.
    SetChecksum(quint32 version, const QByteArray& header);
    // For a new set of the current version, whose header is complete only at the end.
    SetChecksum();
    ~SetChecksum();
    SetChecksum(const SetChecksum&) = delete;
    SetChecksum& operator=(const SetChecksum&) = delete;

    // The image block `index` (all BlockSize long but the last): the first one at any time,
    // the others in order. Version 1 takes all in order.
    void addBlock(qint64 index, const char* data, qint64 size);
    QByteArray result();
    QByteArray result(const QByteArray& header);

private:
    struct State;
    quint32 m_version;
    QByteArray m_header;
    std::unique_ptr<State> m_state;
};

} // namespace glimora::engine
