#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace glimora::tools {

// Splits a script into batches as sqlcmd does: a line holding only GO ends a batch.
class BatchReader
{
public:
    // The batches of `script`, without the GO lines; blank batches are dropped.
    static QStringList split(const QString& script);
    // Where `bytes` stop being UTF-8, or -1 when they are. Text that is not UTF-8 would reach
    // the server with its bytes replaced, a file name naming some other file.
    static qsizetype invalidUtf8Offset(const QByteArray& bytes);
};

} // namespace glimora::tools
