#include "query/TitleStrip.h"

#include "ui/ContrastSetting.h"
#include "ui/SharedFonts.h"

#include <QPainter>

namespace glimora::query {

TitleStrip::TitleStrip(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setFont(ui::sharedFont(2));
}

void TitleStrip::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    update();
}

void TitleStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    // The high-contrast banner is light.
    painter.setPen(ui::ContrastSetting::enabled() ? Qt::black : Qt::white);
    painter.drawText(rect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_title);
}

} // namespace glimora::query
