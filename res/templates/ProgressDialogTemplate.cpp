#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;
constexpr bool Notifies = true;
constexpr bool Sorted = true;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {1100, K::ProgressBar, "Progress1", true, 33, 38, 141, 8},
    {1101, K::Text, "Static", true, 34, 28, 138, 8},
    {2, K::PushButton, "取消", false, 81, 52, 50, 14},
};
// clang-format on

} // namespace

const DialogTemplate progressDialogTemplate { 133, "ProgressDialog", WindowStyle::NoCaptionNoBorder, "",
    { "System", 10, 8, 16, 14 }, 213, 73, controls };

} // namespace glimora::res
