#pragma once

#include "data/DataType.h"
#include "data/Variant.h"

#include <QString>

namespace glimora::components {

// How the grid shows a field value and reads back what a person typed into a cell.
class CellFormat
{
public:
    // What a picture or any other binary value shows instead of its bytes.
    static QString pictureMarker();

    // Dates as year-month-day (with the time only when there is one), decimals with the
    // field's scale, binary values as the marker, NULL as nothing.
    static QString displayText(const data::Variant& value, data::DataType type, int scale);

    static bool isNumeric(data::DataType type);
    static bool isBinary(data::DataType type);

    // Reads typed text as a value for a field of `type`. False, with `problem` set to a
    // message for the person, when the text does not fit the type.
    static bool parse(const QString& text, data::DataType type, data::Variant& value, QString& problem);
};

} // namespace glimora::components
