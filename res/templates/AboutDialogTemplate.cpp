#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;
constexpr bool Notifies = true;
constexpr bool Sorted = true;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {StaticId, K::IconStatic, "", true, 11, 17, 20, 20},
    {1, K::DefaultPushButton, "确定", true, 178, 7, 50, 14},
};
// clang-format on

} // namespace

const DialogTemplate aboutDialogTemplate { 100, "AboutDialog", WindowStyle::CaptionModalFrame, "关于 glimora",
    { "宋体", 9, 6, 12, 12 }, 235, 55, controls };

} // namespace glimora::res
