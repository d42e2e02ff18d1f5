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

} // namespace glimora::tools
