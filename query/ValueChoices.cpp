#include "query/ValueChoices.h"

#include <algorithm>

namespace glimora::query {

QString ValueChoices::moreCaption()
{
    return QString::fromUtf8("更多…");
}

void ValueChoices::setButtons(int buttons)
{
    buttons = std::clamp(buttons, 2, int(VisibleButtons));
    if (buttons == m_buttons)
        return;
    const int first = isPaged() ? m_page * (m_buttons - 1) : 0;
    m_buttons = buttons;
    m_page = isPaged() ? first / (m_buttons - 1) : 0;
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
    const int perPage = m_buttons - 1;
    return int((m_values.size() + perPage - 1) / perPage);
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
        const int perPage = m_buttons - 1;
        captions = m_captions.mid(m_page * perPage, perPage);
        while (captions.size() < perPage)
            captions << QString();
        captions << moreCaption();
    }
    while (captions.size() < VisibleButtons)
        captions << QString();
    return captions;
}

QString ValueChoices::visibleValue(int slot) const
{
    if (slot < 1 || slot > m_buttons || isMoreButton(slot))
        return QString();
    const int first = isPaged() ? m_page * (m_buttons - 1) : 0;
    return m_values.value(first + slot - 1);
}

} // namespace glimora::query
