#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;
constexpr bool Notifies = true;
constexpr bool Sorted = true;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {1002, K::PasswordEdit, "", true, 279, 159, 125, 17},
    {1003, K::PasswordEdit, "", true, 279, 191, 125, 17},
    {1, K::OwnerDrawnButton, "确定", true, 282, 237, 36, 35},
    {2, K::OwnerDrawnButton, "取消", true, 358, 237, 36, 35},
    {StaticId, K::RightAlignedText, "新密码", true, 182, 163, 62, 15},
    {StaticId, K::RightAlignedText, "重  复", true, 183, 198, 62, 15},
    {1166, K::CentredText, "修改当前用户密码", false, 52, 0, 319, 29},
};
// clang-format on

} // namespace

const DialogTemplate passwordDialogTemplate { 175, "PasswordDialog", WindowStyle::CaptionModalFrame, "对话",
    { "System", 10, 8, 16, 14 }, 448, 297, controls };

} // namespace glimora::res
