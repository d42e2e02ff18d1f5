#include "ui/SharedFonts.h"
#include "settings/SettingsFile.h"
#include "tests/support/TempWorkspace.h"

#include <gtest/gtest.h>
#include <QFontInfo>
#include <QFontMetricsF>

using namespace glimora::settings;
using namespace glimora::ui;

TEST(SharedFontsTest, ChineseFacesResolveToInstalledChineseFonts)
{
    const QFont kai = makeLogicalFont(17, 0, 400, QString::fromUtf8("楷体"));
    const QFont hei = makeLogicalFont(20, 0, 800, QString::fromUtf8("黑体"));
    EXPECT_TRUE(QFontInfo(kai).family().contains("UKai", Qt::CaseInsensitive))
        << QFontInfo(kai).family().toStdString();
    EXPECT_TRUE(QFontInfo(hei).family().contains("Zen Hei", Qt::CaseInsensitive))
        << QFontInfo(hei).family().toStdString();
    EXPECT_TRUE(QFontMetricsF(kai).inFont(QChar(0x697C)));
}

TEST(SharedFontsTest, HeightIsTheCharacterCellAndWidthTheAverageCharacter)
{
    for (int height : { 15, 17, 20, 40 }) {
        const QFont font = makeLogicalFont(height, 0, 400, QString::fromUtf8("楷体"));
        EXPECT_NEAR(QFontMetricsF(font).height(), height, 1.0) << height;
    }
    const QFont narrow = makeLogicalFont(20, 5, 400, QString::fromUtf8("楷体"));
    const QFont wide = makeLogicalFont(20, 15, 400, QString::fromUtf8("楷体"));
    EXPECT_NEAR(QFontMetricsF(wide).averageCharWidth(), 15, 1.5);
    EXPECT_LT(QFontMetricsF(narrow).averageCharWidth(), QFontMetricsF(wide).averageCharWidth());
}

TEST(SharedFontsTest, NegativeHeightIsTheCharacterHeightAndNegativeWidthItsMagnitude)
{
    for (int height : { 15, 20, 40 }) {
        const QFont byCharacter = makeLogicalFont(-height, 0, 400, QString::fromUtf8("楷体"));
        const QFont byCell = makeLogicalFont(height, 0, 400, QString::fromUtf8("楷体"));
        EXPECT_EQ(byCharacter.pixelSize(), height);
        // The cell of a character height holds the leading too: never smaller.
        EXPECT_GE(QFontMetricsF(byCharacter).height(), QFontMetricsF(byCell).height()) << height;
    }
    const QFont negative = makeLogicalFont(20, -15, 400, QString::fromUtf8("楷体"));
    const QFont positive = makeLogicalFont(20, 15, 400, QString::fromUtf8("楷体"));
    EXPECT_EQ(negative.stretch(), positive.stretch());
    EXPECT_NE(negative.stretch(), makeLogicalFont(20, 0, 400, QString::fromUtf8("楷体")).stretch());
}

TEST(SharedFontsTest, FontsComeFromTheShowSection)
{
    TempWorkspace workspace;
    workspace.writeFile("uinfo.ini", "[show]\nf1h=30\nf3w=abc\n");
    setSettingsDirectory(QString());
    createSharedFonts();
    EXPECT_NEAR(QFontMetricsF(sharedFont(1)).height(), 30, 1.0);
    EXPECT_EQ(sharedFont(3).stretch(), QFont::AnyStretch); // width 0: the font's own
    EXPECT_EQ(sharedFont(6).weight(), QFont::Weight(800));
    EXPECT_EQ(sharedFont(2).weight(), QFont::Weight(400));
}
