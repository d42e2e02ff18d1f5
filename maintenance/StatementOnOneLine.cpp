#include "maintenance/StatementOnOneLine.h"

namespace glimora::maintenance {

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

} // namespace

StatementOnOneLine StatementOnOneLine::from(const QString& statement)
{
    StatementOnOneLine result;
    QString& out = result.text;
    const qsizetype size = statement.size();
    const auto at = [&](qsizetype i) { return i < size ? statement[i] : QChar(); };
    qsizetype i = 0;
    while (i < size) {
        const QChar c = statement[i];
        if (c == u'\'' || c == u'"' || c == u'[') {
            // A doubled closing mark stands for itself, as T-SQL reads it.
            const QChar close = c == u'[' ? QChar(u']') : c;
            qsizetype end = i + 1;
            while (end < size) {
                if (statement[end] == close) {
                    if (at(end + 1) != close)
                        break;
                    ++end;
                } else if (isLineBreak(statement[end])) {
                    return { QString(), Refusal::BreakInsideQuotes };
                }
                ++end;
            }
            end = qMin(end + 1, size);
            out += statement.mid(i, end - i);
            i = end;
        } else if (c == u'/' && at(i + 1) == u'*') {
            // Block comments nest on SQL Server; the line breaks inside one stay harmless.
            qsizetype end = i + 2;
            for (int depth = 1; end < size && depth > 0;) {
                if (statement[end] == u'/' && at(end + 1) == u'*') {
                    ++depth;
                    end += 2;
                } else if (statement[end] == u'*' && at(end + 1) == u'/') {
                    --depth;
                    end += 2;
                } else {
                    ++end;
                }
            }
            out += statement.mid(i, end - i);
            i = end;
        } else if (c == u'-' && at(i + 1) == u'-') {
            qsizetype end = i + 2;
            while (end < size && !isLineBreak(statement[end]))
                ++end;
            const QString body = statement.mid(i + 2, end - i - 2);
            if (body.contains(QLatin1String("/*")) || body.contains(QLatin1String("*/")))
                return { QString(), Refusal::CommentMarkInComment };
            out += QLatin1String("/*") + body + QLatin1String(" */");
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return result;
}

} // namespace glimora::maintenance
