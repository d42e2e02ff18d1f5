#include "ui/BitmapStatic.h"

#include "ui/BitmapStaticAccessible.h"
#include "ui/FocusMark.h"
#include "ui/KeyboardSetting.h"
#include "ui/SkinStore.h"

#include <algorithm>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace glimora::ui {

BitmapStatic::BitmapStatic(int bitmapId, bool notifies, QWidget* parent)
    : QWidget(parent)
    , m_bitmapId(bitmapId)
    , m_notifies(notifies)
{
    // A tab is reached by the Tab key when the keyboard is in use; a tap never leaves focus.
    setFocusPolicy(notifies && KeyboardSetting::enabled() ? Qt::TabFocus : Qt::NoFocus);
    BitmapStaticAccessible::install();
}

QAccessible::Role BitmapStatic::accessibleRole() const
{
    return m_role.value_or(m_notifies ? QAccessible::Button : QAccessible::Graphic);
}

void BitmapStatic::setAccessibleRole(QAccessible::Role role)
{
    m_role = role;
}

void BitmapStatic::setBitmapId(int id)
{
    m_bitmapId = id;
    update();
}

void BitmapStatic::setCaption(const QString& text, const QFont& font)
{
    m_caption = text;
    m_captionFont = font;
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
    if (!m_caption.isEmpty()) {
        // The face's own colour, taken beside the painted label, covers that label.
        const QImage image = skin.toImage();
        const QColor face = image.pixelColor(std::min(4, image.width() - 1), image.height() / 2);
        const QRect inside = rect().adjusted(3, 3, -3, -3);
        painter.fillRect(inside, face);
        painter.setFont(m_captionFont);
        painter.setPen(qGray(face.rgb()) < 128 ? Qt::white : Qt::black);
        painter.drawText(inside, Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    }
    FocusMark::paint(painter, *this, m_focusedByKey);
}

void BitmapStatic::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (focusPolicy() != Qt::NoFocus
        && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select)) {
        event->accept();
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
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

void BitmapStatic::focusInEvent(QFocusEvent* event)
{
    m_focusedByKey = FocusMark::isByKey(event->reason());
    QWidget::focusInEvent(event);
}

} // namespace glimora::ui
