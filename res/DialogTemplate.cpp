#include "res/DialogTemplate.h"

#include <array>

namespace glimora::res {

namespace {

// MulDiv rounding: half away from zero.
int mulDiv(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

const std::array<const DialogTemplate*, 10> templates = {
    &aboutDialogTemplate,
    &queryDialogTemplate,
    &loginDialogTemplate,
    &adminDialogTemplate,
    &configDialogTemplate,
    &progressDialogTemplate,
    &passwordDialogTemplate,
    &dataManageDialogTemplate,
    &userManageDialogTemplate,
    &stationStatusDialogTemplate,
};

} // namespace

QSize DialogTemplate::pixelSize() const
{
    return { mulDiv(width, font.baseX, 4), mulDiv(height, font.baseY, 8) };
}

QRect DialogTemplate::pixelRect(const ControlTemplate& control) const
{
    // Each edge is mapped on its own, so that neighbouring controls stay adjacent.
    const int left = mulDiv(control.x, font.baseX, 4);
    const int top = mulDiv(control.y, font.baseY, 8);
    const int right = mulDiv(control.x + control.width, font.baseX, 4);
    const int bottom = mulDiv(control.y + control.height, font.baseY, 8);
    return { left, top, right - left, bottom - top };
}

const ControlTemplate* DialogTemplate::findControl(int controlId) const
{
    if (controlId == StaticId)
        return nullptr;
    for (const ControlTemplate& control : controls) {
        if (control.id == controlId)
            return &control;
    }
    return nullptr;
}

const DialogTemplate* findDialogTemplate(int id)
{
    for (const DialogTemplate* dialog : templates) {
        if (dialog->id == id)
            return dialog;
    }
    return nullptr;
}

std::span<const DialogTemplate* const> allDialogTemplates()
{
    return templates;
}

} // namespace glimora::res
