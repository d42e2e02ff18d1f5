#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;
constexpr bool Notifies = true;
constexpr bool Sorted = true;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {1004, K::OwnerDrawnButton, "导入数据", true, 166, 117, 49, 48},
    {1005, K::OwnerDrawnButton, "备份数据", true, 268, 117, 49, 48},
    {1006, K::OwnerDrawnButton, "恢复备份", true, 368, 120, 49, 48},
    {1008, K::OwnerDrawnButton, "数据录入", true, 268, 172, 49, 48},
    {1010, K::OwnerDrawnButton, "数据管理", true, 166, 172, 49, 48},
    {1007, K::OwnerDrawnButton, "用户管理", true, 166, 226, 49, 48},
    {1012, K::OwnerDrawnButton, "修改密码", true, 368, 173, 49, 48},
    {1003, K::OwnerDrawnButton, "配置系统", true, 268, 226, 49, 48},
    {1011, K::OwnerDrawnButton, "退出系统", false, 22, 168, 36, 35},
    {1149, K::CentredText, "晴岚查询软件管理后台", false, 78, 14, 172, 20},
    // Beyond the original menu: shown only while snapshots are taken.
    {1009, K::OwnerDrawnButton, "撤销上次导入/恢复", false, 368, 226, 49, 48},
    // Shown only while the search is on.
    {1014, K::OwnerDrawnButton, "重建搜索索引", false, 66, 226, 49, 48},
    // Shown only while the stations write their heartbeat.
    {1013, K::OwnerDrawnButton, "站点状态", false, 66, 172, 49, 48},
};
// clang-format on

} // namespace

const DialogTemplate adminDialogTemplate { 130, "AdminDialog", WindowStyle::CaptionModalFrame, "对话",
    { "System", 10, 8, 16, 14 }, 450, 299, controls };

} // namespace glimora::res
