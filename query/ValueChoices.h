#pragma once

#include <QString>
#include <QStringList>

namespace glimora::query {

// The values of the current drill-down level on the 20 visible value buttons, or on fewer of
// them where large captions need wider buttons. A level with more values than buttons is shown
// a page at a time: all but one button's worth of values and, on the last button in use,
// "更多…", which turns to the next page (after the last page, back to the first). So every
// value stays reachable.
class ValueChoices
{
public:
    static constexpr int VisibleButtons = 20;

    static QString moreCaption();

    // How many of the buttons are in use, 2..20; the page turns to the one that holds the
    // first value on display.
    int buttons() const { return m_buttons; }
    void setButtons(int buttons);

    // `values` go into the statements as they are stored; `captions` (the values as the
    // buttons show them, without the blanks around them) default to the values.
    void setValues(const QStringList& values, const QStringList& captions = {});
    void clear() { setValues({}); }
    const QStringList& values() const { return m_values; }
    const QStringList& captions() const { return m_captions; }

    bool isPaged() const { return m_values.size() > m_buttons; }
    int page() const { return m_page; }
    int pageCount() const;
    void nextPage();

    // The captions of the 20 visible buttons; "" for an unused button.
    QStringList visibleCaptions() const;
    // The value behind visible button `slot` (1..20); "" for an unused button.
    QString visibleValue(int slot) const;
    // Whether visible button `slot` (1..20) is the one that turns the page.
    bool isMoreButton(int slot) const { return isPaged() && slot == m_buttons; }

private:
    QStringList m_values;
    QStringList m_captions;
    int m_page = 0;
    int m_buttons = VisibleButtons;
};

} // namespace glimora::query
