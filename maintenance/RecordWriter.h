#pragma once

#include "data/Variant.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace glimora::maintenance {

// Writes exported records to a file as they come, one row at a time. Every call returns
// false once a write has failed; errorString() tells why.
class RecordWriter
{
public:
    virtual ~RecordWriter() = default;
    virtual bool writeHeader(const QStringList& captions) = 0;
    // The values of `row` at `columns`, in that order.
    virtual bool writeRow(const QList<data::Variant>& row, const QList<int>& columns) = 0;
    // Everything is on the device once this returns true.
    virtual bool finish() = 0;
    virtual QString errorString() const = 0;
};

} // namespace glimora::maintenance
