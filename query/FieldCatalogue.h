#pragma once

#include "data/CatalogueEntry.h"

#include <QString>

#include <array>

namespace glimora::query {

using data::CatalogueEntry;

// The field catalogue: slots 1..59 hold the loaded rows in `sort` order, slot 0 stays empty.
class FieldCatalogue
{
public:
    static constexpr int Slots = 60;

    void clear();
    bool isEmpty() const { return m_count == 0; }
    int count() const { return m_count; }
    // Appends a row; false once the 59 slots are full (the row is left out).
    bool append(const CatalogueEntry& entry);
    const CatalogueEntry& slot(int index) const { return m_slots.at(index); }

    // The first slot, 0 included, whose `engl` equals the name exactly; nullptr when none.
    // An empty name therefore finds slot 0.
    const CatalogueEntry* find(const QString& name) const;
    // The display name of a column, or "" when it is not catalogued.
    QString displayName(const QString& name) const;

private:
    std::array<CatalogueEntry, Slots> m_slots;
    int m_count = 0;
};

} // namespace glimora::query
