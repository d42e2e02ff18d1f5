#include "query/ValueChoices.h"

namespace glimora::query {

namespace {
constexpr int PerPage = ValueChoices::VisibleButtons - 1;
}

QString ValueChoices::moreCaption()
{
    return QString::fromUtf8("更多…");
}

void ValueChoices::setValues(const QStringList& values, const QStringList& captions)
{
    m_values = values;
    m_captions = captions.size() == values.size() ? captions : values;
    m_page = 0;
}

int ValueChoices::pageCount() const
{
    if (!isPaged())
        return 1;
    return int((m_values.size() + PerPage - 1) / PerPage);
}

void ValueChoices::nextPage()
{
    m_page = (m_page + 1) % pageCount();
}

QStringList ValueChoices::visibleCaptions() const
{
    QStringList captions;
    if (!isPaged()) {
        captions = m_captions;
    } else {
        captions = m_captions.mid(m_page * PerPage, PerPage);
        while (captions.size() < PerPage)
            captions << QString();
        captions << moreCaption();
    }
    while (captions.size() < VisibleButtons)
        captions << QString();
    return captions;
}

QString ValueChoices::visibleValue(int slot) const
{
    if (slot < 1 || slot > VisibleButtons || isMoreButton(slot))
        return QString();
    const int first = isPaged() ? m_page * PerPage : 0;
    return m_values.value(first + slot - 1);
}

} // namespace glimora::query
