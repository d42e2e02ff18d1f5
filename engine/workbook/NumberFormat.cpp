#include "engine/workbook/NumberFormat.h"

#include <QByteArrayView>

namespace glimora::engine::NumberFormat {

bool isBuiltInDate(int formatId)
{
    return (formatId >= 14 && formatId <= 22) || (formatId >= 27 && formatId <= 36)
        || (formatId >= 45 && formatId <= 47) || (formatId >= 50 && formatId <= 58);
}

bool isDateCode(const QString& code)
{
    // Only the first section decides; the others format negative numbers, zero and text.
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        switch (c.unicode()) {
        case '"': {
            const qsizetype end = code.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                return false;
            i = end;
            break;
        }
        case '\\':
        case '_':
        case '*':
            ++i; // the next character is literal text or padding
            break;
        case '[': {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i + 1);
            if (end < 0)
                return false;
            // Elapsed-time brackets such as [h] or [mm] are times; colours and locales are not.
            const QString inside = code.mid(i + 1, end - i - 1).toLower();
            if (!inside.isEmpty() && inside.count(inside.at(0)) == inside.size()
                && QStringLiteral("hms").contains(inside.at(0)))
                return true;
            i = end;
            break;
        }
        case ';':
            return false;
        default:
            if (c.unicode() < 128 && QByteArrayView("yYmMdDhHsS").contains(char(c.unicode())))
                return true;
        }
    }
    return false;
}

} // namespace glimora::engine::NumberFormat
