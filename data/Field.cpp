#include "data/Field.h"

#include "data/DbError.h"
#include "data/RecordsetData.h"

namespace glimora::data {

Field::Field(std::shared_ptr<RecordsetData> recordset, int index)
    : m_recordset(std::move(recordset))
    , m_index(index)
{
}

QString Field::Name() const
{
    return data().field(m_index).name;
}

DataType Field::Type() const
{
    return data().field(m_index).type;
}

int Field::DefinedSize() const
{
    return data().field(m_index).definedSize;
}

int Field::Precision() const
{
    return data().field(m_index).precision;
}

int Field::NumericScale() const
{
    return data().field(m_index).scale;
}

Variant Field::Value() const
{
    return data().value(m_index);
}

void Field::SetValue(const Variant& value)
{
    data().setValue(m_index, value);
}

RecordsetData& Field::data() const
{
    if (!m_recordset)
        throw DbError::invalidPointer();
    return *m_recordset;
}

} // namespace glimora::data
