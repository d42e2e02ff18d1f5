#include "ui/BitmapStatic.h"

#include "ui/SkinStore.h"

#include <QMouseEvent>
#include <QPainter>

namespace glimora::ui {

BitmapStatic::BitmapStatic(int bitmapId, bool notifies, QWidget* parent)
    : QWidget(parent)
    , m_bitmapId(bitmapId)
    , m_notifies(notifies)
{
    setFocusPolicy(Qt::NoFocus);
}

void BitmapStatic::setBitmapId(int id)
{
    m_bitmapId = id;
    update();
}

QSize BitmapStatic::bitmapSize() const
{
    const QPixmap skin = SkinStore::load(m_bitmapId);
    return skin.isNull() ? size() : skin.size();
}

void BitmapStatic::paintEvent(QPaintEvent*)
{
    const QPixmap skin = SkinStore::load(m_bitmapId);
    if (skin.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), skin);
}

void BitmapStatic::mousePressEvent(QMouseEvent* event)
{
    if (!m_notifies || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    emit clicked();
}

void BitmapStatic::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_notifies || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    emit doubleClicked();
}

} // namespace glimora::ui
