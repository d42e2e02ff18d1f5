#pragma once

#include <QByteArray>
#include <QString>

namespace glimora::tools {

// Pictures for the demo records, drawn here rather than taken from anywhere: a package or a
// service card in the colours of the record's category, with its name, packing and
// form, as a JPEG file like those a station's administrator uploads.
class DemoPictures
{
public:
    static QByteArray draw(
        const QString& category, const QString& form, const QString& name, const QString& packing, int seed);
};

} // namespace glimora::tools
