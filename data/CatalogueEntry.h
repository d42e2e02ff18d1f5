#pragma once

#include <QString>

namespace glimora::data {

// One field row of the catalogue as the screens hold it: display name, column name and
// display width. Screens keep 60 slots; slot 0 is never filled.
struct CatalogueEntry
{
    QString chna;
    QString engl;
    int width = 0;
};

} // namespace glimora::data
