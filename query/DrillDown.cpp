#include "query/DrillDown.h"

#include "settings/AsciiBlanks.h"

namespace glimora::query {

DrillDown::DrillDown()
{
    for (int i = 0; i < Entries; ++i) {
        m_levelColumns << QString();
        m_levelValues << QString();
    }
}

void DrillDown::setLevelColumns(const QStringList& columns)
{
    for (int i = 1; i < Entries; ++i)
        m_levelColumns[i] = columns.value(i - 1);
}

void DrillDown::chose(const QString& value)
{
    if (m_level < 0 || m_level >= Entries)
        return;
    m_levelValues[m_level] = value;
    ++m_level;
}

QString DrillDown::breadcrumb() const
{
    QString text = QString::fromUtf8("当前位置： ");
    for (int j = 1; j < m_level && j < Entries; ++j)
        text += settings::withoutAsciiBlanks(m_levelValues[j]) + QStringLiteral("  ");
    return text;
}

std::optional<QString> DrillDown::first()
{
    m_level = 0;
    return m_levelValues[0];
}

std::optional<QString> DrillDown::back()
{
    if (m_level <= 1)
        return std::nullopt;
    m_level -= 2;
    return m_levelValues[m_level];
}

std::optional<QString> DrillDown::forward() const
{
    if (m_level < 0 || m_level >= Entries || m_levelValues[m_level].isEmpty())
        return std::nullopt;
    return m_levelValues[m_level];
}

std::optional<QString> DrillDown::last()
{
    int k = 1;
    while (k < Entries && !m_levelValues[k].isEmpty())
        ++k;
    m_level = k - 1;
    return m_levelValues[m_level];
}

} // namespace glimora::query
