#pragma once

#include <QString>
#include <QStringList>

namespace glimora::tools {

// Splits a script into batches as sqlcmd does: a line holding only GO ends a batch.
class BatchReader
{
public:
    // The batches of `script`, without the GO lines; blank batches are dropped.
    static QStringList split(const QString& script);
};

} // namespace glimora::tools
