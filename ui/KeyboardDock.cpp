#include "ui/KeyboardDock.h"

#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace glimora::ui {

namespace {

QRect availableArea(const QWidget* screen)
{
    const QScreen* display = screen->screen();
    return display ? display->availableGeometry() : QRect(QPoint(), screen->size());
}

} // namespace

KeyboardDock::KeyboardDock(QWidget* screen, QWidget* keyboard)
    : m_screen(screen)
    , m_keyboard(keyboard)
{
}

bool KeyboardDock::fillsDisplay(int height) const
{
    return m_screen->isMaximized() || m_screen->isFullScreen()
        || m_screen->height() + height > availableArea(m_screen).height();
}

void KeyboardDock::place(const QWidget* entry, int height, int width)
{
    if (!m_grown && !fillsDisplay(height))
        grow(height, width);
    if (m_grown) {
        m_keyboard->setGeometry(0, m_windowPlace.height(), m_screen->width(), height);
        return;
    }
    dropBand();
    QRect place(0, m_screen->height() - height, m_screen->width(), height);
    if (entry) {
        const QRect at(entry->mapTo(m_screen, QPoint()), entry->size());
        const int bandTop = m_bandTop ? m_bandTop() : -1;
        if (at.bottom() >= place.top() && bandTop >= height && at.top() >= bandTop)
            liftBand(bandTop, height);
        else if (at.bottom() >= place.top())
            place.moveBottom(std::max(height - 1, at.top() - 1));
    }
    m_keyboard->setGeometry(place);
}

void KeyboardDock::grow(int height, int width)
{
    const QRect available = availableArea(m_screen);
    m_grown = true;
    m_windowPlace = m_screen->geometry();
    m_minimumSize = m_screen->minimumSize();
    m_maximumSize = m_screen->maximumSize();
    const QSize grown(
        std::max(m_screen->width(), std::min(width, available.width())), m_screen->height() + height);
    m_screen->setMinimumSize(grown);
    m_screen->setMaximumSize(grown);
    QRect place(m_screen->pos(), grown);
    place.moveBottom(std::min(place.bottom(), available.bottom()));
    place.moveRight(std::min(place.right(), available.right()));
    place.moveLeft(std::max(place.left(), available.left()));
    m_screen->setGeometry(place);
}

void KeyboardDock::liftBand(int top, int by)
{
    const QRect band(0, top, m_screen->width(), m_screen->height() - top);
    QPixmap drawing(band.size() * m_screen->devicePixelRatio());
    drawing.setDevicePixelRatio(m_screen->devicePixelRatio());
    drawing.fill(m_screen->palette().color(QPalette::Window));
    m_screen->render(&drawing, QPoint(), QRegion(band), QWidget::DrawWindowBackground);
    if (!m_backdrop)
        m_backdrop = new QLabel(m_screen);
    m_backdrop->setPixmap(drawing);
    m_backdrop->setGeometry(band.translated(0, -by));
    for (QObject* child : m_screen->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget == m_keyboard || widget == m_backdrop || widget->isWindow()
            || widget->y() < top)
            continue;
        m_lifted.append({ widget, widget->pos() });
        widget->move(widget->x(), widget->y() - by);
    }
    m_backdrop->show();
    m_backdrop->lower();
    m_lift = by;
}

void KeyboardDock::dropBand()
{
    for (const auto& [widget, place] : std::as_const(m_lifted)) {
        if (widget)
            widget->move(place);
    }
    m_lifted.clear();
    if (m_backdrop)
        m_backdrop->hide();
    m_lift = 0;
}

void KeyboardDock::release()
{
    dropBand();
    if (!m_grown)
        return;
    m_grown = false;
    m_screen->setMinimumSize(m_minimumSize);
    m_screen->setMaximumSize(m_maximumSize);
    m_screen->setGeometry(m_windowPlace);
}

} // namespace glimora::ui
