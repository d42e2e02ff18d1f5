#include "query/LinkTemplate.h"

#include "query/FieldCatalogue.h"
#include "query/QueryStatements.h"

#include <QUrl>

namespace glimora::query {

LinkTemplate::LinkTemplate(const QString& text)
    : m_text(text.trimmed())
{
    qsizetype at = 0;
    while (at < m_text.size()) {
        const qsizetype open = m_text.indexOf(QLatin1Char('{'), at);
        const qsizetype close = m_text.indexOf(QLatin1Char('}'), at);
        if (open < 0) {
            m_balanced = m_balanced && close < 0;
            break;
        }
        const qsizetype end = m_text.indexOf(QLatin1Char('}'), open + 1);
        const qsizetype nested = m_text.indexOf(QLatin1Char('{'), open + 1);
        if ((close >= 0 && close < open) || end < 0 || (nested >= 0 && nested < end)) {
            m_balanced = false;
            break;
        }
        m_columns << m_text.mid(open + 1, end - open - 1);
        at = end + 1;
    }
}

QString LinkTemplate::refusal(const FieldCatalogue& catalogue) const
{
    if (!m_balanced)
        return QString::fromUtf8("链接模板的花括号不成对。");
    for (const QString& column : m_columns) {
        // The catalogue's slot 0 answers an empty name: {} names no column either.
        if (column.isEmpty() || !QueryStatements::isColumnName(column) || !catalogue.find(column))
            return QString::fromUtf8("链接模板中的 {%1} 不是字段目录中的列。").arg(column);
    }
    return QString();
}

QString LinkTemplate::expand(const std::function<QString(const QString& column)>& value) const
{
    if (isEmpty() || !m_balanced)
        return QString();
    QString link;
    qsizetype at = 0;
    for (const QString& column : m_columns) {
        const qsizetype open = m_text.indexOf(QLatin1Char('{'), at);
        const QString text = value(column).trimmed();
        if (text.isEmpty())
            return QString();
        link += m_text.mid(at, open - at) + QString::fromLatin1(QUrl::toPercentEncoding(text));
        at = open + column.size() + 2;
    }
    return link + m_text.mid(at);
}

QString validateLinkTemplate(const QString& text, const FieldCatalogue& catalogue)
{
    return LinkTemplate(text).refusal(catalogue);
}

} // namespace glimora::query
