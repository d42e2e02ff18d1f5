#include "query/ChosenValues.h"

namespace glimora::query {

void ChosenValues::toggle(int n, const QString& text, const QString& stored)
{
    List& list = m_lists.at(n);
    const qsizetype at = list.stored.indexOf(stored);
    if (at >= 0) {
        list.texts.removeAt(at);
        list.stored.removeAt(at);
        return;
    }
    list.texts.append(text);
    list.stored.append(stored);
}

void ChosenValues::clear(int n)
{
    m_lists.at(n) = List();
}

void ChosenValues::clearAll()
{
    m_lists.fill(List());
}

bool ChosenValues::isChosen(int n, const QString& stored) const
{
    return m_lists.at(n).stored.contains(stored);
}

QString ChosenValues::text(int n) const
{
    return m_lists.at(n).texts.join(QString::fromUtf8(" 或 "));
}

} // namespace glimora::query
