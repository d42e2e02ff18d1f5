#include "ui/SkinButton.h"
#include "settings/SettingsFile.h"
#include "tests/support/TempWorkspace.h"
#include "ui/SharedFonts.h"

#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace glimora;
using ui::SkinButton;

namespace {

class SkinButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings::setSettingsDirectory(m_workspace.path());
        ui::createSharedFonts();
        m_button.resize(75, 70);
    }
    void TearDown() override { settings::setSettingsDirectory({}); }

    void writeShow(const QByteArray& lines)
    {
        m_workspace.writeFile(QStringLiteral("uinfo.ini"), "[show]\n" + lines);
    }

    TempWorkspace m_workspace;
    SkinButton m_button { QStringLiteral("Button60") };
};

struct LayoutCase
{
    const char* name;
    const char* caption;
    std::optional<const char*> f1w; // absent: the default 7
    int bitmapId;
    bool oneLine;
};

class SkinButtonLayoutTest : public SkinButtonTest, public ::testing::WithParamInterface<LayoutCase>
{
};

TEST_P(SkinButtonLayoutTest, OneLineOnlyForShortCaptionsOnTheDefaultSkin)
{
    const LayoutCase& param = GetParam();
    if (param.f1w)
        writeShow(QByteArray("f1w=") + *param.f1w + "\n");
    m_button.setCaption(QString::fromUtf8(param.caption));
    m_button.setBitmapId(param.bitmapId);
    EXPECT_EQ(m_button.captionLayout().oneLine, param.oneLine);
}

INSTANTIATE_TEST_SUITE_P(GbkBytes, SkinButtonLayoutTest,
    ::testing::Values(LayoutCase { "fourChineseIsEightBytes", "四个汉字", {}, 158, true },
        LayoutCase { "fiveChineseIsTenBytes", "五个汉字呀", {}, 158, false },
        LayoutCase { "nineLatin", "abcdefghi", {}, 158, true },
        LayoutCase { "tenLatin", "abcdefghij", {}, 158, false },
        LayoutCase { "mixedNineBytes", "ab四个汉", "7", 158, true },
        LayoutCase { "emptyDrawsX", "", {}, 158, true },
        LayoutCase { "otherSkinAlwaysWraps", "上翻", {}, 159, false },
        LayoutCase { "wideFontFewerBytes", "两字", "15", 158, true },
        LayoutCase { "wideFontThreeChinese", "三个字", "15", 158, false },
        LayoutCase { "zeroWidthWraps", "甲", "0", 158, false },
        LayoutCase { "notANumberWraps", "甲", "wide", 158, false },
        LayoutCase { "leadingDigitsCount", "甲", "7px", 158, true }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SkinButtonTest, WrappedCaptionIsCentredVerticallyAndFont6StartsAtSeven)
{
    m_button.setBitmapId(162);
    m_button.setCaption(QString::fromUtf8("导入数据"));
    const QFontMetrics metrics(ui::sharedFont(1));
    const int textHeight = metrics
                               .boundingRect(QRect(0, 0, m_button.width(), 0),
                                   Qt::AlignHCenter | Qt::TextWordWrap, m_button.caption())
                               .height();
    SkinButton::CaptionLayout layout = m_button.captionLayout();
    EXPECT_FALSE(layout.oneLine);
    EXPECT_EQ(layout.rect.top(), (70 - textHeight) / 2);
    EXPECT_EQ(layout.rect.left(), 0);
    EXPECT_EQ(layout.rect.bottom(), m_button.rect().bottom());

    m_button.setCaptionFont(6);
    layout = m_button.captionLayout();
    EXPECT_EQ(layout.rect.left(), 7);
}

TEST_F(SkinButtonTest, EmptyCaptionBecomesXWhenDrawn)
{
    m_button.grab();
    EXPECT_EQ(m_button.caption(), QStringLiteral("x"));
}

TEST_F(SkinButtonTest, CaptionColourFollowsStateAndFont)
{
    m_button.setTextColor(QColor(240, 240, 240));
    EXPECT_EQ(m_button.captionColor(), QColor(240, 240, 240));
    m_button.setEnabled(false);
    EXPECT_EQ(m_button.captionColor(), QColor(0x88, 0x88, 0x88));
    m_button.setCaptionFont(6);
    EXPECT_EQ(m_button.captionColor(), QColor(0xC8, 0xC8, 0xC8));
    EXPECT_EQ(SkinButton().textColor(), QColor(0, 0, 200));
}

TEST_F(SkinButtonTest, HeldDownShowsOnlyThePlainWhiteSkin)
{
    m_button.setCaption(QString::fromUtf8("查询"));
    m_button.show();
    QSignalSpy clicks(&m_button, &QAbstractButton::clicked);

    QTest::mousePress(&m_button, Qt::LeftButton);
    EXPECT_TRUE(m_button.isPressed());
    const QImage pressed = m_button.grab().toImage();
    for (int y = 0; y < pressed.height(); ++y) {
        for (int x = 0; x < pressed.width(); ++x)
            ASSERT_EQ(QColor(pressed.pixel(x, y)), QColor(Qt::white)) << x << "," << y;
    }

    QTest::mouseRelease(&m_button, Qt::LeftButton);
    EXPECT_FALSE(m_button.isPressed());
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_NE(m_button.grab().toImage(), pressed);
}

TEST_F(SkinButtonTest, PlainModeTurnsValueButtonsIntoPushButtons)
{
    writeShow("ower=0\n");
    m_button.setCaption(QString::fromUtf8("北京"));
    m_button.grab();
    EXPECT_TRUE(m_button.isPlain());
    EXPECT_EQ(m_button.font(), ui::sharedFont(1));

    // Once ordinary, the button stays ordinary.
    writeShow("ower=1\n");
    m_button.grab();
    EXPECT_TRUE(m_button.isPlain());
}

TEST_F(SkinButtonTest, PlainModeSparesPageButtonsAndOtherSkins)
{
    writeShow("ower=0\n");
    for (const char* caption : { "上翻", "下翻" }) {
        SkinButton page;
        page.setCaption(QString::fromUtf8(caption));
        page.grab();
        EXPECT_FALSE(page.isPlain()) << caption;
    }
    SkinButton navigation;
    navigation.setBitmapId(159);
    navigation.grab();
    EXPECT_FALSE(navigation.isPlain());

    writeShow("ower=00\n");
    m_button.grab();
    EXPECT_FALSE(m_button.isPlain());
}

TEST_F(SkinButtonTest, MissingSkinStillDrawsTheCaption)
{
    m_button.setBitmapId(9999);
    m_button.setCaption(QStringLiteral("OK"));
    const QImage image = m_button.grab().toImage();
    bool captionColour = false;
    for (int y = 0; y < image.height() && !captionColour; ++y) {
        for (int x = 0; x < image.width() && !captionColour; ++x)
            captionColour = QColor(image.pixel(x, y)).blue() > 150 && QColor(image.pixel(x, y)).red() < 80;
    }
    EXPECT_TRUE(captionColour);
}

// ---- polish: captions clear of the rounded border, disabled buttons grey ----

TEST_F(SkinButtonTest, PolishedCaptionsStayInsideTheBorderShrinkingWhereTheyMust)
{
    writeShow("polish=1\n");
    m_button.resize(68, 68);
    const QRect room = m_button.captionRoom();
    EXPECT_GT(room.left(), 4);
    EXPECT_LT(room.right(), m_button.width() - 5);
    for (const char* caption : { "口服溶液剂", "六味地黄丸", "四个汉字", "复方丹参滴丸片剂胶囊剂注射液" }) {
        m_button.setCaption(QString::fromUtf8(caption));
        const SkinButton::CaptionLayout layout = m_button.captionLayout();
        const int flags = layout.oneLine ? Qt::TextSingleLine : Qt::TextWordWrap;
        const QRect drawn
            = QFontMetrics(layout.font)
                  .boundingRect(layout.rect, Qt::AlignHCenter | Qt::AlignTop | flags, m_button.caption());
        EXPECT_TRUE(room.contains(drawn)) << caption << " drawn " << drawn.left() << "," << drawn.top() << " "
                                          << drawn.width() << "x" << drawn.height();
    }
    // Five characters wrap in the room and keep their size; a long caption gets smaller.
    m_button.setCaption(QString::fromUtf8("口服溶液剂"));
    EXPECT_EQ(m_button.captionLayout().font.pixelSize(), ui::sharedFont(1).pixelSize());
    m_button.setCaption(QString::fromUtf8("复方丹参滴丸片剂胶囊剂注射液"));
    EXPECT_LT(m_button.captionLayout().font.pixelSize(), ui::sharedFont(1).pixelSize());

    // Off, the caption wraps across the whole button, as ever.
    writeShow("polish=0\n");
    m_button.setCaption(QString::fromUtf8("口服溶液剂"));
    EXPECT_EQ(m_button.captionLayout().rect.left(), 0);
    EXPECT_EQ(m_button.captionLayout().rect.right(), m_button.rect().right());
}

TEST_F(SkinButtonTest, PolishedDisabledButtonsAreGrey)
{
    const auto saturation = [](const QImage& image) {
        qint64 sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                sum += QColor(image.pixel(x, y)).hsvSaturation();
        }
        return sum / (image.width() * image.height());
    };
    m_button.resize(100, 101);
    m_button.setBitmapId(184);
    m_button.setCaptionFont(6);
    m_button.setTextColor(QColor(240, 240, 240));
    m_button.setCaption(QString::fromUtf8("数据管理"));
    const qint64 enabled = saturation(m_button.grab().toImage());
    m_button.setEnabled(false);
    const qint64 disabledAsEver = saturation(m_button.grab().toImage());
    EXPECT_NEAR(disabledAsEver, enabled, 5); // the skin as it is, only the caption is greyer
    writeShow("polish=1\n");
    EXPECT_LT(saturation(m_button.grab().toImage()) * 5, enabled);
    EXPECT_EQ(m_button.captionColor(), QColor(0x80, 0x80, 0x80));
    m_button.setEnabled(true);
    EXPECT_EQ(saturation(m_button.grab().toImage()), enabled);
}

TEST(GbkLength, TwoBytesPerChineseCharacter)
{
    EXPECT_EQ(SkinButton::gbkLength(QStringLiteral("abc")), 3);
    EXPECT_EQ(SkinButton::gbkLength(QString::fromUtf8("中文")), 4);
    EXPECT_EQ(SkinButton::gbkLength(QString::fromUtf8("a中 1")), 5);
    EXPECT_EQ(SkinButton::gbkLength(QString()), 0);
    // The bytes of the code page, not two per character outside ASCII.
    EXPECT_EQ(SkinButton::gbkLength(QString::fromUtf8("€5")), 2);
    EXPECT_EQ(SkinButton::gbkLength(QString::fromUtf8("é·")), 4);
    EXPECT_EQ(SkinButton::gbkLength(QString::fromUtf8("😀ÿ")), 2); // each one "?"
}

} // namespace
