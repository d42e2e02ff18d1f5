#include "ui/FingerSizedStyle.h"

#include <QStyleOptionComplex>

#include <algorithm>

namespace glimora::ui {

FingerSizedStyle::FingerSizedStyle(QObject* parent)
    : QProxyStyle()
{
    setParent(parent);
}

int FingerSizedStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_ScrollBarExtent)
        return ScrollBarWidth;
    if (metric == PM_ScrollBarSliderMin)
        return TargetSize;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QRect FingerSizedStyle::subControlRect(
    ComplexControl control, const QStyleOptionComplex* option, SubControl part, const QWidget* widget) const
{
    if (control != CC_ComboBox || (part != SC_ComboBoxArrow && part != SC_ComboBoxEditField))
        return QProxyStyle::subControlRect(control, option, part, widget);
    const QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
    const QRect field = QProxyStyle::subControlRect(control, option, SC_ComboBoxEditField, widget);
    // The arrow widens leftwards into the field; a box too narrow for both keeps a third for text.
    const int width = std::min(TargetSize, std::max(arrow.width(), option->rect.width() / 3));
    const int growth = std::max(0, width - arrow.width());
    if (part == SC_ComboBoxArrow)
        return arrow.adjusted(-growth, 0, 0, 0);
    return field.adjusted(0, 0, -growth, 0);
}

QSize FingerSizedStyle::sizeFromContents(
    ContentsType type, const QStyleOption* option, const QSize& size, const QWidget* widget) const
{
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_ItemViewItem)
        result.setHeight(std::max(result.height(), TargetSize));
    return result;
}

} // namespace glimora::ui
