#include "tools/glimora-sql/BatchReader.h"

namespace glimora::tools {

QStringList BatchReader::split(const QString& script)
{
    QStringList batches;
    QStringList lines;
    const auto finish = [&] {
        const QString batch = lines.join(QLatin1Char('\n'));
        if (!batch.trimmed().isEmpty())
            batches.append(batch);
        lines.clear();
    };
    QString text = script;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0)
            finish();
        else
            lines.append(line);
    }
    finish();
    return batches;
}

qsizetype BatchReader::invalidUtf8Offset(const QByteArray& bytes)
{
    // A byte that does not decode comes back as U+FFFD, so the first difference is the fault.
    const QByteArray again = QString::fromUtf8(bytes).toUtf8();
    if (again == bytes)
        return -1;
    qsizetype i = 0;
    while (i < bytes.size() && i < again.size() && bytes[i] == again[i])
        ++i;
    return i;
}

} // namespace glimora::tools
