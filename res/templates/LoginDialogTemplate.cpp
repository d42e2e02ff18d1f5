#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;
constexpr bool Notifies = true;
constexpr bool Sorted = true;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {1000, K::DropDownCombo, "", true, 171, 104, 162, 19, 0, false, Sorted},
    {1001, K::DropDownCombo, "", true, 171, 132, 162, 71, 0, false, Sorted},
    {1002, K::PasswordEdit, "", true, 171, 159, 162, 17},
    {1, K::OwnerDrawnButton, "登 入", true, 172, 191, 36, 35},
    {2, K::OwnerDrawnButton, "退出", true, 234, 191, 36, 35},
    {140, K::OwnerDrawnButton, "帮助", true, 296, 191, 36, 35},
    {1128, K::CheckBox, "后台", true, 132, 199, 37, 15},
    {1003, K::PushButton, "重置", true, 334, 104, 19, 17},
    {1156, K::WebBrowser, "", false, 0, 0, 359, 52},
    {1164, K::RightAlignedText, "服务器", true, 105, 105, 46, 21},
    {1165, K::RightAlignedText, "用户名", true, 105, 133, 46, 17},
    {1166, K::RightAlignedText, "密   码", true, 105, 160, 46, 17},
};
// clang-format on

} // namespace

const DialogTemplate loginDialogTemplate { 129, "LoginDialog", WindowStyle::CaptionModalFrame, "对话",
    { "System", 10, 8, 16, 14 }, 371, 241, controls };

} // namespace glimora::res
