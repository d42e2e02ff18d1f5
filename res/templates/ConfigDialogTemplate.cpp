#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;
constexpr bool Notifies = true;
constexpr bool Sorted = true;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {1103, K::MultiLineEdit, "", true, 116, 111, 325, 89},
    {1104, K::Text, "", true, 117, 209, 322, 23},
    {1105, K::DataControl, "", false, 251, 12, 75, 15},
    {1024, K::DataControl, "", false, 389, 10, 58, 15},
    {1106, K::DataGrid, "", false, 116, 112, 324, 90},
    {1152, K::CentredText, "晴岚查询软件 系统配置", false, 78, 7, 239, 22},
    {1102, K::TabControl, "", true, 115, 99, 322, 13},
    {1004, K::OwnerDrawnButton, "保存", true, 127, 231, 37, 35},
    {1005, K::OwnerDrawnButton, "取消", true, 196, 231, 37, 35},
    {1006, K::OwnerDrawnButton, "退出", true, 334, 231, 37, 35},
    {1003, K::OwnerDrawnButton, "执行", true, 265, 231, 37, 35},
    {1007, K::OwnerDrawnButton, "帮助", true, 402, 231, 37, 35},
    {1108, K::CheckBox, "错误信息附中文说明", true, 117, 210, 90, 10},
    {1109, K::CheckBox, "查询列表显示完整内容", true, 215, 210, 100, 10},
    {1116, K::CheckBox, "界面细节修正", true, 320, 210, 70, 10},
    {1117, K::CheckBox, "键盘操作", true, 392, 210, 50, 10},
    {1120, K::CheckBox, "导入/恢复前快照", true, 320, 220, 70, 10},
    {1121, K::CheckBox, "定时备份", true, 392, 220, 50, 10},
    {1118, K::CheckBox, "屏幕键盘", true, 117, 84, 110, 10},
    {1119, K::CheckBox, "查询屏搜索框", true, 117, 220, 90, 10},
    {1125, K::CheckBox, "预建索引", true, 392, 84, 50, 10},
    {1122, K::CheckBox, "站点状态", true, 215, 220, 100, 10},
    {1124, K::CheckBox, "数据导出", true, 320, 84, 70, 10},
    {1123, K::CheckBox, "打印/二维码", true, 232, 84, 80, 10},
    {1126, K::CheckBox, "按钮显示数量", true, 10, 84, 100, 10},
    {1127, K::CheckBox, "列表多选", true, 10, 96, 100, 10},
    {1128, K::CheckBox, "隐藏空按钮", true, 10, 108, 100, 10},
    {1129, K::CheckBox, "大字模式", true, 10, 120, 100, 10},
    {1130, K::CheckBox, "高对比度", true, 10, 132, 100, 10},
    {1131, K::CheckBox, "朗读", true, 10, 144, 100, 10},
};
// clang-format on

} // namespace

const DialogTemplate configDialogTemplate { 131, "ConfigDialog", WindowStyle::CaptionModalFrame, "对话",
    { "System", 10, 8, 16, 14 }, 447, 280, controls };

} // namespace glimora::res
