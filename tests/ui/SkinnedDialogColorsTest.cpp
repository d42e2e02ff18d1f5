#include "ui/SkinnedDialogColors.h"
#include "tests/support/TempWorkspace.h"
#include "ui/SkinStore.h"
#include "ui/TemplateDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace glimora;
using ui::SkinnedDialogColors;

namespace {

const QColor blue(0, 0, 255);

// The dialog's own background, with its controls left out of the picture.
QImage background(ui::TemplateDialog& dialog)
{
    for (QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->hide();
    return dialog.grab().toImage();
}

TEST(SkinnedDialogColors, SolidBackground)
{
    ui::TemplateDialog dialog(102);
    dialog.setColors(SkinnedDialogColors::solid(Qt::white));
    const QImage image = background(dialog);
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(Qt::white));
    EXPECT_EQ(QColor(image.pixel(1000, 1000)), QColor(Qt::white));
}

TEST(SkinnedDialogColors, PatternIsTiledFromTheTopLeftCorner)
{
    ui::TemplateDialog dialog(175);
    dialog.setColors(SkinnedDialogColors::pattern(139)); // 18 x 50: tiles many times
    const QImage skin = ui::SkinStore::load(139).toImage();
    const QImage image = background(dialog);
    for (const QPoint point : { QPoint(0, 0), QPoint(20, 55), QPoint(37, 149), QPoint(895, 593) })
        EXPECT_EQ(image.pixel(point), skin.pixel(point.x() % 18, point.y() % 50))
            << point.x() << "," << point.y();
}

TEST(SkinnedDialogColors, StaticTextsAndCheckBoxesAreBlueOnTransparent)
{
    ui::TemplateDialog dialog(182);
    dialog.setColors(SkinnedDialogColors::pattern(161));
    auto* label = dialog.control<QLabel>(1167);
    auto* box = dialog.control<QCheckBox>(1128);
    ASSERT_TRUE(label && box);
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), blue);
    EXPECT_EQ(box->palette().color(QPalette::Active, QPalette::WindowText), blue);
    EXPECT_FALSE(label->autoFillBackground());
    EXPECT_FALSE(box->autoFillBackground());

    // Edits and buttons keep the platform's colours.
    const QPalette standard = ui::TemplateDialog(182).control(1002)->palette();
    EXPECT_EQ(
        dialog.control<QLineEdit>(1002)->palette().color(QPalette::Text), standard.color(QPalette::Text));
    EXPECT_NE(dialog.control(1005)->palette().color(QPalette::ButtonText), blue);
}

TEST(SkinnedDialogColors, DefaultColoursChangeNothing)
{
    ui::TemplateDialog dialog(133);
    const QColor before = dialog.control(1101)->palette().color(QPalette::WindowText);
    dialog.setColors(SkinnedDialogColors());
    EXPECT_TRUE(dialog.colors().isDefault());
    EXPECT_EQ(dialog.control(1101)->palette().color(QPalette::WindowText), before);
}

TEST(SkinnedDialogColors, MissingPatternLeavesTheScreenWhite)
{
    TempWorkspace workspace;
    const SkinnedDialogColors colors = SkinnedDialogColors::pattern(4242);
    EXPECT_EQ(colors.background().color(), QColor(Qt::white));
    EXPECT_EQ(colors.background().style(), Qt::SolidPattern);
}

} // namespace
