#include "res/DialogTemplate.h"
#include "tests/res/TemplateRows.h"
#include "ui/BitmapStatic.h"
#include "ui/ComponentPlaceholder.h"
#include "ui/DropDownCombo.h"
#include "ui/SkinButton.h"
#include "ui/TabControl.h"
#include "ui/TemplateDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace glimora;
using res::ControlKind;

namespace {

// One dialog per template and suite; building the query screen 111 times is slow. They
// must go before the application object does.
std::map<int, std::unique_ptr<ui::TemplateDialog>>& builtDialogs()
{
    static std::map<int, std::unique_ptr<ui::TemplateDialog>> dialogs;
    return dialogs;
}

ui::TemplateDialog& builtDialog(int templateId)
{
    auto& dialog = builtDialogs()[templateId];
    if (!dialog)
        dialog = std::make_unique<ui::TemplateDialog>(templateId);
    return *dialog;
}

class TemplateRowTest : public ::testing::TestWithParam<TemplateRow>
{
protected:
    static void TearDownTestSuite() { builtDialogs().clear(); }
};

TEST_P(TemplateRowTest, DialogBuildsTheControl)
{
    const TemplateRow& row = GetParam();
    if (row.id == QLatin1String("-"))
        return; // no code addresses it
    ui::TemplateDialog& dialog = builtDialog(row.templateId);
    const res::ControlTemplate& control = dialog.dialogTemplate().controls[row.index];
    QWidget* widget = dialog.control(row.id.toInt());
    ASSERT_NE(widget, nullptr) << row.id.toInt();
    EXPECT_EQ(widget->isHidden(), !row.shown);

    const QRect pixels = dialog.dialogTemplate().pixelRect(control);
    switch (control.kind) {
    case ControlKind::DropDownCombo: {
        auto* combo = qobject_cast<ui::DropDownCombo*>(widget);
        ASSERT_NE(combo, nullptr);
        EXPECT_TRUE(combo->isSorted());
        EXPECT_TRUE(combo->isEditable());
        // The template height includes the list; the box itself is one line high.
        EXPECT_EQ(combo->pos(), pixels.topLeft());
        EXPECT_EQ(combo->width(), pixels.width());
        EXPECT_LE(combo->height(), qMax(pixels.height(), combo->sizeHint().height()));
        return;
    }
    case ControlKind::BitmapStatic: {
        auto* picture = qobject_cast<ui::BitmapStatic*>(widget);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->bitmapId(), control.bitmapId);
        EXPECT_EQ(picture->notifies(), control.notifies);
        // A picture static takes its bitmap's size.
        EXPECT_EQ(picture->geometry(), QRect(pixels.topLeft(), picture->bitmapSize()));
        return;
    }
    case ControlKind::OwnerDrawnButton: {
        auto* button = qobject_cast<ui::SkinButton*>(widget);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), row.text); // the window text stays the template's
        break;
    }
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: {
        auto* button = qobject_cast<QPushButton*>(widget);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(qobject_cast<ui::SkinButton*>(widget), nullptr);
        EXPECT_EQ(button->text(), row.text);
        EXPECT_EQ(button->isDefault(), control.kind == ControlKind::DefaultPushButton);
        break;
    }
    case ControlKind::CheckBox: {
        auto* box = qobject_cast<QCheckBox*>(widget);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), row.text);
        break;
    }
    case ControlKind::Edit:
    case ControlKind::PasswordEdit: {
        auto* edit = qobject_cast<QLineEdit*>(widget);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->echoMode() == QLineEdit::Password, control.kind == ControlKind::PasswordEdit);
        break;
    }
    case ControlKind::MultiLineEdit:
        EXPECT_NE(qobject_cast<QPlainTextEdit*>(widget), nullptr);
        break;
    case ControlKind::Text:
    case ControlKind::CentredText:
    case ControlKind::RightAlignedText: {
        auto* label = qobject_cast<QLabel*>(widget);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), row.text);
        const Qt::Alignment horizontal = label->alignment() & Qt::AlignHorizontal_Mask;
        if (control.kind == ControlKind::CentredText)
            EXPECT_EQ(horizontal, Qt::AlignHCenter);
        else if (control.kind == ControlKind::RightAlignedText)
            EXPECT_EQ(horizontal, Qt::AlignRight);
        else
            EXPECT_EQ(horizontal, Qt::AlignLeft);
        break;
    }
    case ControlKind::TreeView:
        EXPECT_NE(qobject_cast<QTreeWidget*>(widget), nullptr);
        break;
    case ControlKind::TabControl:
        EXPECT_NE(qobject_cast<ui::TabControl*>(widget), nullptr);
        break;
    case ControlKind::ProgressBar: {
        auto* bar = qobject_cast<QProgressBar*>(widget);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
        break;
    }
    case ControlKind::DataControl:
    case ControlKind::DataGrid:
    case ControlKind::WebBrowser: {
        auto* placeholder = qobject_cast<ui::ComponentPlaceholder*>(widget);
        ASSERT_NE(placeholder, nullptr);
        EXPECT_EQ(placeholder->kind(), control.kind);
        break;
    }
    default:
        break;
    }
    EXPECT_EQ(widget->geometry(), pixels);
}

INSTANTIATE_TEST_SUITE_P(AllScreens, TemplateRowTest, ::testing::ValuesIn(templateRows()),
    [](const ::testing::TestParamInfo<TemplateRow>& info) { return templateRowName(info.param); });

struct Header
{
    int id;
    const char* className;
    res::WindowStyle style;
    const char* caption;
    const char* face;
    int pointSize;
    QSize units;
    QSize pixels;
};

class TemplateHeaderTest : public ::testing::TestWithParam<Header>
{
protected:
    static void TearDownTestSuite() { builtDialogs().clear(); }
};

TEST_P(TemplateHeaderTest, WindowStyleCaptionFontAndSize)
{
    const Header& expected = GetParam();
    const res::DialogTemplate* dialog = res::findDialogTemplate(expected.id);
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->className, expected.className);
    EXPECT_EQ(dialog->style, expected.style);
    EXPECT_EQ(dialog->captionText(), QString::fromUtf8(expected.caption));
    EXPECT_EQ(QString::fromUtf8(dialog->font.face), QString::fromUtf8(expected.face));
    EXPECT_EQ(dialog->font.pointSize, expected.pointSize);
    EXPECT_EQ(QSize(dialog->width, dialog->height), expected.units);
    EXPECT_EQ(dialog->pixelSize(), expected.pixels);

    ui::TemplateDialog& built = builtDialog(expected.id);
    EXPECT_EQ(built.windowTitle(), QString::fromUtf8(expected.caption));
    EXPECT_EQ(built.size(), expected.pixels);
    const Qt::WindowFlags flags = built.windowFlags();
    EXPECT_EQ(flags.testFlag(Qt::FramelessWindowHint), expected.style != res::WindowStyle::CaptionModalFrame);
}

using S = res::WindowStyle;
INSTANTIATE_TEST_SUITE_P(AllScreens, TemplateHeaderTest,
    ::testing::Values(Header { 100, "AboutDialog", S::CaptionModalFrame, "关于 glimora", "宋体", 9,
                          { 235, 55 }, { 353, 83 } },
        Header { 102, "QueryDialog", S::ThinBorderNoCaption, "", "宋体", 30, { 252, 242 }, { 1260, 1210 } },
        Header { 129, "LoginDialog", S::CaptionModalFrame, "对话", "System", 10, { 371, 241 }, { 742, 482 } },
        Header { 130, "AdminDialog", S::CaptionModalFrame, "对话", "System", 10, { 450, 299 }, { 900, 598 } },
        Header {
            131, "ConfigDialog", S::CaptionModalFrame, "对话", "System", 10, { 447, 280 }, { 894, 560 } },
        Header { 133, "ProgressDialog", S::NoCaptionNoBorder, "", "System", 10, { 213, 73 }, { 426, 146 } },
        Header {
            175, "PasswordDialog", S::CaptionModalFrame, "对话", "System", 10, { 448, 297 }, { 896, 594 } },
        Header { 176, "DataManageDialog", S::CaptionModalFrame, "对话", "System", 10, { 633, 351 },
            { 1266, 702 } },
        Header { 182, "UserManageDialog", S::CaptionModalFrame, "对话", "System", 10, { 450, 293 },
            { 900, 586 } }),
    [](const ::testing::TestParamInfo<Header>& info) { return std::to_string(info.param.id); });

} // namespace
