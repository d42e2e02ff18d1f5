#include "data/HeldRows.h"

namespace glimora::data {

void HeldRows::clear()
{
    m_rows.clear();
    m_bytes = 0;
}

qint64 HeldRows::bytesOf(const Row& row)
{
    qint64 bytes = 0;
    for (const Variant& value : row.values) {
        if (value.kind() == Variant::Kind::Bytes)
            bytes += value.toBytes().size();
        else if (value.kind() == Variant::Kind::String)
            bytes += value.toString().size() * qint64(sizeof(QChar));
    }
    return bytes;
}

void HeldRows::erase(std::map<qsizetype, Row>::iterator row)
{
    m_bytes -= bytesOf(row->second);
    m_rows.erase(row);
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

const HeldRows::Row* HeldRows::find(qsizetype position)
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
    remove(position);
    m_bytes += bytesOf(row);
    m_rows.emplace(position, std::move(row));
}

void HeldRows::remove(qsizetype position)
{
    const auto found = m_rows.find(position);
    if (found != m_rows.end())
        erase(found);
}

void HeldRows::removeAt(qsizetype position)
{
    remove(position);
    for (auto it = m_rows.upper_bound(position); it != m_rows.end();) {
        auto node = m_rows.extract(it++);
        --node.key();
        m_rows.insert(std::move(node));
    }
}

} // namespace glimora::data
