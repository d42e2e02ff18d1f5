#include "engine/backup/SetChecksum.h"

#include <sodium.h>
#include <xxhash.h>

namespace glimora::engine {

namespace {

constexpr int Version1Size = 32;

QByteArray digestOf(const XXH128_hash_t& hash)
{
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, hash);
    return QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof(canonical.digest));
}

} // namespace

struct SetChecksum::State
{
    crypto_generichash_state blake;
    XXH3_state_t* blocks = nullptr;
    QByteArray firstBlock;
    qint64 nextBlock = 0;
};

bool SetChecksum::knows(quint32 version)
{
    return version == 1 || version == 2;
}

int SetChecksum::size(quint32 version)
{
    return version == 1 ? Version1Size : int(sizeof(XXH128_canonical_t));
}

SetChecksum::SetChecksum(quint32 version, const QByteArray& header)
    : m_version(version)
    , m_header(header)
    , m_state(std::make_unique<State>())
{
    Q_ASSERT(knows(version));
    if (m_version == 1) {
        crypto_generichash_init(&m_state->blake, nullptr, 0, Version1Size);
        crypto_generichash_update(&m_state->blake, reinterpret_cast<const unsigned char*>(header.constData()),
            quint64(header.size()));
        return;
    }
    m_state->blocks = XXH3_createState();
    if (!m_state->blocks)
        throw std::bad_alloc();
    XXH3_128bits_reset(m_state->blocks);
    m_state->nextBlock = 1;
}

SetChecksum::SetChecksum()
    : SetChecksum(CurrentVersion, QByteArray())
{
}

SetChecksum::~SetChecksum()
{
    if (m_state->blocks)
        XXH3_freeState(m_state->blocks);
}

void SetChecksum::addBlock(qint64 index, const char* data, qint64 size)
{
    Q_ASSERT(index == 0 || index == m_state->nextBlock);
    if (m_version == 1) {
        crypto_generichash_update(
            &m_state->blake, reinterpret_cast<const unsigned char*>(data), quint64(size));
        ++m_state->nextBlock;
        return;
    }
    const QByteArray digest = digestOf(XXH3_128bits(data, size_t(size)));
    if (index == 0) {
        m_state->firstBlock = digest;
        return;
    }
    XXH3_128bits_update(m_state->blocks, digest.constData(), size_t(digest.size()));
    ++m_state->nextBlock;
}

QByteArray SetChecksum::result(const QByteArray& header)
{
    m_header = header;
    return result();
}

QByteArray SetChecksum::result()
{
    if (m_version == 1) {
        QByteArray sum(Version1Size, '\0');
        crypto_generichash_final(&m_state->blake, reinterpret_cast<unsigned char*>(sum.data()), Version1Size);
        return sum;
    }
    // An empty image has no first block; its digest is that of no bytes.
    const QByteArray first
        = m_state->firstBlock.isNull() ? digestOf(XXH3_128bits(nullptr, 0)) : m_state->firstBlock;
    XXH3_128bits_update(m_state->blocks, first.constData(), size_t(first.size()));
    XXH3_128bits_update(m_state->blocks, m_header.constData(), size_t(m_header.size()));
    return digestOf(XXH3_128bits_digest(m_state->blocks));
}

} // namespace glimora::engine
