#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;
constexpr bool Notifies = true;
constexpr bool Sorted = true;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {1127, K::TreeView, "", true, 136, 103, 108, 146},
    {1002, K::Edit, "", true, 310, 108, 134, 16},
    {1003, K::PasswordEdit, "", true, 310, 140, 134, 16},
    {1004, K::PasswordEdit, "", true, 310, 172, 134, 16},
    {1128, K::CheckBox, "配置系统", true, 203, 257, 50, 10},
    {1129, K::CheckBox, "导入数据", true, 137, 257, 50, 10},
    {1130, K::CheckBox, "备份数据", true, 203, 274, 50, 10},
    {1131, K::CheckBox, "恢复数据", true, 271, 257, 50, 10},
    {1132, K::CheckBox, "用户管理", true, 137, 274, 50, 10},
    {1133, K::CheckBox, "数据录入", true, 394, 257, 50, 10},
    {1135, K::CheckBox, "数据管理", true, 337, 257, 50, 10},
    {StaticId, K::RightAlignedText, "用户名称", true, 255, 110, 49, 10},
    {StaticId, K::RightAlignedText, "密  码", true, 255, 142, 49, 10},
    {StaticId, K::RightAlignedText, "确认密码", true, 255, 174, 49, 10},
    {1134, K::CheckBox, "数据清理", false, 7, 226, 50, 10},
    {1136, K::CheckBox, "Check1", false, 52, 226, 33, 10},
    {1137, K::CheckBox, "Check1", false, 65, 226, 33, 10},
    {1138, K::CheckBox, "Check1", false, 76, 226, 33, 10},
    {1139, K::CheckBox, "Check1", false, 65, 226, 33, 10},
    {1140, K::CheckBox, "Check1", false, 66, 226, 33, 10},
    {1141, K::CheckBox, "Check1", false, 11, 226, 33, 10},
    {1142, K::CheckBox, "Check1", false, 26, 226, 33, 10},
    {1167, K::CentredText, "用户及权限管理", false, 173, 0, 117, 16},
    {1005, K::OwnerDrawnButton, "新增", true, 266, 204, 35, 35},
    {1006, K::OwnerDrawnButton, "删除", true, 314, 204, 35, 35},
    {1007, K::OwnerDrawnButton, "保存", true, 362, 204, 35, 35},
    {1008, K::OwnerDrawnButton, "取消", true, 410, 204, 35, 35},
};
// clang-format on

} // namespace

const DialogTemplate userManageDialogTemplate { 182, "UserManageDialog", WindowStyle::CaptionModalFrame,
    "对话", { "System", 10, 8, 16, 14 }, 450, 293, controls };

} // namespace glimora::res
