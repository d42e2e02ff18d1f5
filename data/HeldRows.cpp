#include "data/HeldRows.h"

namespace glimora::data {

void HeldRows::clear()
{
    m_rows.clear();
}

qsizetype HeldRows::pictureCount() const
{
    qsizetype count = 0;
    for (const auto& entry : m_rows) {
        if (entry.second.pictures)
            ++count;
    }
    return count;
}

HeldRows::Row* HeldRows::find(qsizetype position)
{
    const auto found = m_rows.find(position);
    if (found == m_rows.end())
        return nullptr;
    found->second.used = ++m_clock;
    return &found->second;
}

const HeldRows::Row* HeldRows::peek(qsizetype position) const
{
    const auto found = m_rows.find(position);
    return found == m_rows.end() ? nullptr : &found->second;
}

void HeldRows::put(qsizetype position, Row row)
{
    row.used = ++m_clock;
    m_rows.insert_or_assign(position, std::move(row));
}

void HeldRows::removeAt(qsizetype position)
{
    m_rows.erase(position);
    for (auto it = m_rows.upper_bound(position); it != m_rows.end();) {
        auto node = m_rows.extract(it++);
        --node.key();
        m_rows.insert(std::move(node));
    }
}

} // namespace glimora::data
