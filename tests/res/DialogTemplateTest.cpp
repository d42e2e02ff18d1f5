#include "res/DialogTemplate.h"
#include "tests/res/TemplateRows.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace glimora;
using res::ControlKind;

namespace {

struct KindText
{
    const char* text;
    ControlKind kind;
};

const KindText kindTexts[] = {
    { "icon static (icon 128)", ControlKind::IconStatic },
    { "owner-drawn button", ControlKind::OwnerDrawnButton },
    { "push button", ControlKind::PushButton },
    { "default push button", ControlKind::DefaultPushButton },
    { "check box", ControlKind::CheckBox },
    { "drop-down combo, sorted", ControlKind::DropDownCombo },
    { "edit", ControlKind::Edit },
    { "password edit", ControlKind::PasswordEdit },
    { "multi-line edit", ControlKind::MultiLineEdit },
    { "text", ControlKind::Text },
    { "centred text", ControlKind::CentredText },
    { "right-aligned text", ControlKind::RightAlignedText },
    { "black frame", ControlKind::BlackFrame },
    { "tree view", ControlKind::TreeView },
    { "tab control", ControlKind::TabControl },
    { "progress bar", ControlKind::ProgressBar },
    { "ADO data control", ControlKind::DataControl },
    { "data grid", ControlKind::DataGrid },
    { "web browser", ControlKind::WebBrowser },
};

class TemplateRowTest : public ::testing::TestWithParam<TemplateRow>
{
};

TEST_P(TemplateRowTest, TableHoldsTheControl)
{
    const TemplateRow& row = GetParam();
    const res::DialogTemplate* dialog = res::findDialogTemplate(row.templateId);
    ASSERT_NE(dialog, nullptr);
    ASSERT_LT(row.index, static_cast<int>(dialog->controls.size()));
    const res::ControlTemplate& control = dialog->controls[row.index];

    EXPECT_EQ(control.id, row.id == QLatin1String("-") ? res::StaticId : row.id.toInt());
    EXPECT_EQ(QString::fromUtf8(control.text), row.text);
    EXPECT_EQ(control.shown, row.shown);
    EXPECT_EQ(QRect(control.x, control.y, control.width, control.height), row.rect);

    static const QRegularExpression bitmap(
        QStringLiteral(R"(^bitmap static( \(notifies\))? \(bitmap (\d+)\)$)"));
    const QRegularExpressionMatch match = bitmap.match(row.kind);
    if (match.hasMatch()) {
        EXPECT_EQ(control.kind, ControlKind::BitmapStatic);
        EXPECT_EQ(control.bitmapId, match.captured(2).toInt());
        EXPECT_EQ(control.notifies, match.capturedLength(1) > 0);
        return;
    }
    bool known = false;
    for (const KindText& kind : kindTexts) {
        if (row.kind == QLatin1String(kind.text)) {
            known = true;
            EXPECT_EQ(control.kind, kind.kind) << qPrintable(row.kind);
        }
    }
    EXPECT_TRUE(known) << qPrintable(row.kind);
    EXPECT_EQ(control.sorted, control.kind == ControlKind::DropDownCombo);
}

INSTANTIATE_TEST_SUITE_P(AllScreens, TemplateRowTest, ::testing::ValuesIn(templateRows()),
    [](const ::testing::TestParamInfo<TemplateRow>& info) { return templateRowName(info.param); });

TEST(DialogUnits, EdgesAreRoundedOneByOne)
{
    // 1.5 pixels per unit: 11 -> 16.5 -> 17, 11 + 20 -> 46.5 -> 47, so 30 wide, not 31.
    const res::DialogTemplate& about = *res::findDialogTemplate(100);
    EXPECT_EQ(about.pixelRect(about.controls[0]), QRect(17, 26, 30, 30));
    EXPECT_EQ(about.pixelRect(about.controls[1]), QRect(267, 11, 75, 21));
}

TEST(DialogUnits, EveryTemplateIsListedOnceInIdOrder)
{
    int previous = 0;
    int count = 0;
    for (const res::DialogTemplate* dialog : res::allDialogTemplates()) {
        EXPECT_GT(dialog->id, previous);
        previous = dialog->id;
        ++count;
    }
    EXPECT_EQ(count, 10);
    EXPECT_EQ(res::findDialogTemplate(101), nullptr);
}

} // namespace
