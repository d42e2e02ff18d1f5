#pragma once

#include <QList>
#include <QString>

namespace glimora::query {
class FieldCatalogue;
}

namespace glimora::maintenance {

// The text-valued settings of the station's newer capabilities, edited on one tab as the lines
// of uinfo.ini: "[section]" then "key=value". Only the keys listed here are taken, so that the
// tab cannot write what another tab or box owns.
class ExtensionSettings
{
public:
    struct Entry
    {
        QString section;
        QString key;
        QString value;
    };
    struct Parsed
    {
        QList<Entry> entries;
        QString refusal; // why nothing may be saved, or empty
    };

    // Whether a capability that these keys serve is switched on: only then has the
    // configuration its tab.
    static bool inUse();
    // The keys with their values as the file holds them now.
    static QString text();
    // The lines checked: a section or key not listed, a count that is no number, or a record
    // link naming a column that the catalogue lacks refuses the whole text.
    static Parsed parse(const QString& text, const query::FieldCatalogue& catalogue);
    // Writes each entry; false when the file could not be written.
    static bool write(const QList<Entry>& entries);
};

} // namespace glimora::maintenance
