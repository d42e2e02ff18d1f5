#include "engine/ConnectionString.h"

namespace glimora::engine {

QHash<QString, QString> ConnectionString::parse(const QString& text)
{
    QHash<QString, QString> keys;
    int i = 0;
    const int size = text.size();
    while (i < size) {
        const int equals = text.indexOf(QLatin1Char('='), i);
        if (equals < 0)
            break;
        const QString key = text.mid(i, equals - i).trimmed().toLower();
        int j = equals + 1;
        QString value;
        if (j < size && text[j] == QLatin1Char('{')) {
            ++j;
            while (j < size) {
                if (text[j] == QLatin1Char('}')) {
                    if (j + 1 < size && text[j + 1] == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text[j++];
            }
            while (j < size && text[j] != QLatin1Char(';'))
                ++j;
        } else {
            const int end = text.indexOf(QLatin1Char(';'), j);
            value = text.mid(j, (end < 0 ? size : end) - j);
            j = end < 0 ? size : end;
        }
        if (!key.isEmpty() && !keys.contains(key))
            keys.insert(key, value);
        i = j + 1;
    }
    return keys;
}

} // namespace glimora::engine
