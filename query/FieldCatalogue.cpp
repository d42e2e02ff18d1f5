#include "query/FieldCatalogue.h"

namespace glimora::query {

void FieldCatalogue::clear()
{
    m_slots.fill(CatalogueEntry());
    m_count = 0;
}

bool FieldCatalogue::append(const CatalogueEntry& entry)
{
    if (m_count + 1 >= Slots)
        return false;
    m_slots[++m_count] = entry;
    return true;
}

const CatalogueEntry* FieldCatalogue::find(const QString& name) const
{
    for (const CatalogueEntry& entry : m_slots) {
        if (entry.engl == name)
            return &entry;
    }
    return nullptr;
}

QString FieldCatalogue::displayName(const QString& name) const
{
    const CatalogueEntry* entry = find(name);
    return entry ? entry->chna : QString();
}

} // namespace glimora::query
