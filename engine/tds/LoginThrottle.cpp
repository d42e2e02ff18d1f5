#include "engine/tds/LoginThrottle.h"

namespace glimora::engine::tds {

namespace {

constexpr qsizetype LargestTable = 10000;

} // namespace

qint64 LoginThrottle::failed(const QString& address, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    // Many addresses at once must not grow the table without end: old entries go first.
    if (m_entries.size() >= LargestTable) {
        for (auto it = m_entries.begin(); it != m_entries.end();)
            it = nowMs - it->lastMs > WindowMs ? m_entries.erase(it) : std::next(it);
    }
    Entry& entry = m_entries[address];
    if (nowMs - entry.lastMs > WindowMs)
        entry.failures = 0;
    entry.failures = qMin(entry.failures + 1, 64);
    entry.lastMs = nowMs;
    if (entry.failures <= FreeFailures)
        return 0;
    return qMin(LongestDelayMs, qint64(1000) << qMin(entry.failures - FreeFailures - 1, 8));
}

void LoginThrottle::succeeded(const QString& address)
{
    std::lock_guard lock(m_mutex);
    m_entries.remove(address);
}

} // namespace glimora::engine::tds
