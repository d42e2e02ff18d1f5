#include "res/SkinTable.h"

#include <QImage>

#include <gtest/gtest.h>

#include <set>

using namespace glimora;

namespace {

class SkinSizeTest : public ::testing::TestWithParam<res::SkinEntry>
{
};

TEST_P(SkinSizeTest, CompiledInAtItsSize)
{
    const res::SkinEntry& skin = GetParam();
    const QImage image(res::skinResourcePath(skin.id));
    ASSERT_FALSE(image.isNull()) << skin.id;
    EXPECT_EQ(image.size(), skin.size());
}

INSTANTIATE_TEST_SUITE_P(EverySkin, SkinSizeTest,
    ::testing::ValuesIn(res::skinEntries().begin(), res::skinEntries().end()),
    [](const auto& info) { return std::to_string(info.param.id); });

TEST(SkinTable, HoldsTheIconAndEveryBitmapOfTheScreens)
{
    std::set<int> ids;
    for (const res::SkinEntry& skin : res::skinEntries())
        ids.insert(skin.id);
    const std::set<int> expected { 128, 139, 141, 142, 143, 144, 145, 146, 157, 158, 159, 160, 161, 162, 163,
        164, 165, 166, 167, 168, 169, 171, 172, 173, 178, 180, 183, 184, 185, 186 };
    EXPECT_EQ(ids, expected);
}

TEST(SkinTable, PressedSkinIsPlainWhite)
{
    const QImage pressed
        = QImage(res::skinResourcePath(res::PressedSkinId)).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < pressed.height(); ++y) {
        for (int x = 0; x < pressed.width(); ++x)
            ASSERT_EQ(pressed.pixel(x, y), qRgb(255, 255, 255));
    }
}

TEST(SkinTable, LoginButtonSkinHasSixteenColours)
{
    const QImage image(res::skinResourcePath(178));
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    EXPECT_LE(colours.size(), 16u);
}

} // namespace
