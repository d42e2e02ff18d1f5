#include "ui/SkinnedDialogColors.h"

#include "ui/SkinStore.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QWidget>

namespace glimora::ui {

SkinnedDialogColors SkinnedDialogColors::solid(const QColor& color)
{
    SkinnedDialogColors colors;
    colors.m_default = false;
    colors.m_background = QBrush(color);
    return colors;
}

SkinnedDialogColors SkinnedDialogColors::pattern(int bitmapId)
{
    SkinnedDialogColors colors;
    colors.m_default = false;
    const QPixmap skin = SkinStore::load(bitmapId);
    // A missing skin leaves the screen white rather than black.
    colors.m_background = skin.isNull() ? QBrush(Qt::white) : QBrush(skin);
    return colors;
}

bool SkinnedDialogColors::asksForStaticColours(const QWidget* control)
{
    return qobject_cast<const QLabel*>(control) || qobject_cast<const QCheckBox*>(control);
}

void SkinnedDialogColors::applyToControl(QWidget* control) const
{
    if (m_default || !asksForStaticColours(control))
        return;
    QPalette palette = control->palette();
    for (const QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive }) {
        palette.setColor(group, QPalette::WindowText, StaticTextColor);
        palette.setColor(group, QPalette::Text, StaticTextColor);
    }
    control->setPalette(palette);
    control->setAutoFillBackground(false);
}

void SkinnedDialogColors::applyTo(QWidget* dialog) const
{
    for (QWidget* control : dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        applyToControl(control);
}

void SkinnedDialogColors::paintBackground(QPainter& painter, const QWidget* dialog) const
{
    if (m_default)
        return;
    painter.save();
    painter.setBrushOrigin(0, 0);
    painter.fillRect(dialog->rect(), m_background);
    painter.restore();
}

} // namespace glimora::ui
