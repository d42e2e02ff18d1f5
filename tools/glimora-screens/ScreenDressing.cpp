#include "tools/glimora-screens/ScreenDressing.h"

#include "maintenance/DataManageDialog.h"
#include "settings/ExportSetting.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"
#include "ui/SkinnedDialogColors.h"
#include "ui/TabControl.h"
#include "ui/TemplateDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>

#include <initializer_list>
#include <utility>

namespace glimora::tools {

namespace {

using ui::SkinButton;
using ui::SkinnedDialogColors;
using ui::TemplateDialog;

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

void skin(TemplateDialog& dialog, int id, int bitmapId, int font, const char* caption = nullptr)
{
    SkinButton* button = dialog.skinButton(id);
    if (!button)
        return;
    button->setBitmapId(bitmapId);
    button->setCaptionFont(font);
    if (caption)
        button->setCaption(utf8(caption));
}

void font(TemplateDialog& dialog, std::initializer_list<int> ids, int sharedFont)
{
    for (const int id : ids) {
        if (QWidget* control = dialog.control(id))
            control->setFont(ui::sharedFont(sharedFont));
    }
}

void treeRoot(TemplateDialog& dialog, int id, const char* text)
{
    auto* tree = dialog.control<QTreeWidget>(id);
    if (!tree)
        return;
    auto* root = new QTreeWidgetItem(tree, { utf8(text) });
    root->setForeground(0, QColor(0, 0, 255));
    tree->expandAll();
}

void dressQuery(TemplateDialog& dialog)
{
    dialog.setColors(SkinnedDialogColors::solid(Qt::white));
    for (const int id : { 1057, 1058, 1059, 1060 })
        skin(dialog, id, 159, 4);
    skin(dialog, 1061, 160, 1);
    skin(dialog, 1125, 160, 4);
    skin(dialog, 1126, 160, 1);
    skin(dialog, 1171, 186, 4);
    skin(dialog, 1137, 158, 4);
    skin(dialog, 1138, 158, 4);
    const std::pair<int, const char*> captions[] = { { 1057, "最前" }, { 1058, "向前" }, { 1059, "向后" },
        { 1060, "最后" }, { 1125, "查询" }, { 1137, "上翻" }, { 1138, "下翻" }, { 1171, "清除" } };
    for (const auto& [id, caption] : captions)
        dialog.skinButton(id)->setCaption(utf8(caption));
    font(dialog, { 1141 }, 1);

    // The screen opens on its value buttons: the filter lists and their captions wait
    // behind the other tab.
    for (const int id : { 1000, 1001, 1002, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 1069, 1070, 1071, 1072,
             1073, 1074, 1075, 1076, 1077, 1034, 1035, 1078, 1079, 1080, 1081, 1082, 1083, 1084, 1085, 1086,
             1087, 1088, 1089, 1090, 1091, 1092, 1093, 1094, 1125, 1171 })
        dialog.control(id)->hide();
    for (int id = 1003; id <= 1022; ++id)
        dialog.control(id)->setEnabled(false);
}

void dressAdmin(TemplateDialog& dialog)
{
    dialog.setColors(SkinnedDialogColors::pattern(161));
    const std::pair<int, const char*> buttons[] = { { 1003, "配置系统" }, { 1004, "导入数据" },
        { 1005, "备份数据" }, { 1006, "恢复备份" }, { 1007, "用户管理" }, { 1008, "数据录入" },
        { 1010, "数据管理" }, { 1011, "退出系统" }, { 1012, "修改密码" } };
    for (const auto& [id, caption] : buttons) {
        skin(dialog, id, 184, 6, caption);
        dialog.skinButton(id)->setTextColor(QColor(240, 240, 240));
    }
    font(dialog, { 1149 }, 2);
}

void dressConfig(TemplateDialog& dialog)
{
    dialog.setColors(SkinnedDialogColors::pattern(161));
    skin(dialog, 1004, 162, 4, "保存");
    skin(dialog, 1005, 162, 4, "取消");
    skin(dialog, 1006, 162, 4, "退出");
    skin(dialog, 1003, 162, 4, "执行");
    skin(dialog, 1007, 162, 4, "帮助");
    dialog.control(1003)->setEnabled(false);
    if (auto* tabs = dialog.control<ui::TabControl>(1102)) {
        for (const char* caption : { "查询指令", "导入指令", "数据库名称", "公司名称", "报表名称", "标题名称",
                 "对应关系", "批量处理" })
            tabs->addTab(utf8(caption));
    }
    font(dialog, { 1152 }, 2);
}

// The import at work; the bar a third of the way round its cycle. With the export on, the
// export at work instead, with its count and cancel.
void dressProgress(TemplateDialog& dialog)
{
    const bool exporting = settings::ExportSetting::enabled();
    if (auto* status = dialog.control<QLabel>(1101))
        status->setText(utf8(exporting ? "正在导出，已写出 12800 条记录……" : "正在导入，请稍候......."));
    if (exporting)
        dialog.control(2)->show();
    if (auto* bar = dialog.control<QProgressBar>(1100))
        bar->setValue(35);
}

void dressDataManage(TemplateDialog& dialog)
{
    dialog.setColors(SkinnedDialogColors::pattern(183));
    skin(dialog, 1025, 162, 4, "新增");
    skin(dialog, 1020, 162, 4, "图片");
    skin(dialog, 1021, 162, 4, "退出");
    skin(dialog, 1022, 162, 4, "帮助");
    dialog.control(1020)->setEnabled(false);
    // The export, as the screen shows it when its setting is on.
    if (settings::ExportSetting::enabled()) {
        skin(dialog, 1026, 162, 4, "导出");
        maintenance::DataManageDialog::showExportButton(dialog);
    }
    treeRoot(dialog, 1127, "项目选择器");
    font(dialog, { 1168 }, 2);
}

void dressUserManage(TemplateDialog& dialog)
{
    dialog.setColors(SkinnedDialogColors::pattern(161));
    skin(dialog, 1005, 162, 4, "新增");
    skin(dialog, 1006, 162, 4, "删除");
    skin(dialog, 1007, 162, 4, "保存");
    skin(dialog, 1008, 162, 4, "退出");
    dialog.control(1003)->setEnabled(false);
    dialog.control(1004)->setEnabled(false);
    treeRoot(dialog, 1127, "所有用户");
    font(dialog, { 1167 }, 2);
}

} // namespace

void dressScreen(TemplateDialog& dialog)
{
    switch (dialog.dialogTemplate().id) {
    case 102:
        dressQuery(dialog);
        break;
    case 130:
        dressAdmin(dialog);
        break;
    case 131:
        dressConfig(dialog);
        break;
    case 133:
        dressProgress(dialog);
        break;
    case 176:
        dressDataManage(dialog);
        break;
    case 182:
        dressUserManage(dialog);
        break;
    default:
        break;
    }
}

} // namespace glimora::tools
