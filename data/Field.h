#pragma once

#include "data/DataType.h"
#include "data/Variant.h"

#include <memory>
#include <QString>

namespace glimora::data {

class RecordsetData;

// One field of a record set, as ADO's Field: it always shows the record set's current
// record. A default-constructed Field is unset and raises the invalid-pointer error.
class Field
{
public:
    Field() = default;
    Field(std::shared_ptr<RecordsetData> recordset, int index);

    bool isNull() const { return m_recordset == nullptr; }

    QString Name() const;
    DataType Type() const;
    int DefinedSize() const;
    int Precision() const;
    int NumericScale() const;
    Variant Value() const;
    // Edits the current record; the change is written by UpdateBatch or when the cursor moves.
    void SetValue(const Variant& value);

private:
    RecordsetData& data() const;

    std::shared_ptr<RecordsetData> m_recordset;
    int m_index = -1;
};

} // namespace glimora::data
