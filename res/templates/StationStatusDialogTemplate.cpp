#include "res/DialogTemplate.h"

namespace glimora::res {

namespace {

using K = ControlKind;

// clang-format off
// id, kind, text, shown, x, y, width, height [, bitmap, notifies, sorted]
constexpr ControlTemplate controls[] = {
    {1002, K::TreeView, "", true, 14, 80, 420, 150},
    {1, K::OwnerDrawnButton, "刷新", true, 282, 237, 36, 35},
    {2, K::OwnerDrawnButton, "退出", true, 358, 237, 36, 35},
    {1170, K::CentredText, "站点状态", false, 52, 0, 319, 29},
};
// clang-format on

} // namespace

const DialogTemplate stationStatusDialogTemplate { 183, "StationStatusDialog", WindowStyle::CaptionModalFrame,
    "对话", { "System", 10, 8, 16, 14 }, 448, 297, controls };

} // namespace glimora::res
