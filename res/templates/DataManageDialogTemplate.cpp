#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;
constexpr bool Notifies = true;
constexpr bool Sorted = true;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {1024, K::DataControl, "", false, 564, 2, 69, 15},
    {1127, K::TreeView, "", true, 517, 61, 116, 233},
    {1168, K::CentredText, "数据管理", false, 216, 6, 201, 25},
    {1106, K::DataGrid, "", true, 0, 62, 515, 232},
    {1020, K::OwnerDrawnButton, "上传图片", true, 255, 306, 36, 35},
    {1022, K::OwnerDrawnButton, "帮助", true, 433, 306, 36, 35},
    {1025, K::OwnerDrawnButton, "新增记录", true, 166, 306, 36, 35},
    {1021, K::OwnerDrawnButton, "退出", true, 344, 306, 36, 35},
    {1026, K::OwnerDrawnButton, "导出", false, 522, 306, 36, 35},
};
// clang-format on

} // namespace

const DialogTemplate dataManageDialogTemplate { 176, "DataManageDialog", WindowStyle::CaptionModalFrame,
    "对话", { "System", 10, 8, 16, 14 }, 633, 351, controls };

} // namespace glimora::res
