#include "res/SkinTable.h"
#include "settings/SettingsFile.h"
#include "tests/support/NamedPipe.h"
#include "tests/support/TempWorkspace.h"
#include "ui/SkinStore.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
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

class SkinOverrideTest : public ::testing::Test
{
protected:
    void SetUp() override { settings::setSettingsDirectory(m_workspace.path()); }
    void TearDown() override { settings::setSettingsDirectory({}); }

    void writeSkin(const QString& name, const QSize& size, const char* format)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        m_workspace.writeFile(QStringLiteral("skins/") + name, bytes);
    }

    TempWorkspace m_workspace;
};

TEST_F(SkinOverrideTest, FileBesideTheSettingsReplacesASkinById)
{
    EXPECT_EQ(ui::SkinStore::load(158).size(), QSize(75, 75));
    writeSkin(QStringLiteral("158.png"), QSize(10, 12), "PNG");
    EXPECT_EQ(ui::SkinStore::load(158).size(), QSize(10, 12));
    EXPECT_EQ(ui::SkinStore::load(159).size(), QSize(68, 36));
}

TEST_F(SkinOverrideTest, BitmapFilesOfOldStationsAreAccepted)
{
    writeSkin(QStringLiteral("161.bmp"), QSize(20, 30), "BMP");
    EXPECT_EQ(ui::SkinStore::load(161).size(), QSize(20, 30));
}

TEST_F(SkinOverrideTest, UnreadableReplacementFallsBackToTheCompiledInSkin)
{
    m_workspace.writeFile(QStringLiteral("skins/160.png"), "not a picture");
    EXPECT_EQ(ui::SkinStore::load(160).size(), QSize(100, 54));
    EXPECT_TRUE(ui::SkinStore::load(4242).isNull());
}

// A pipe in place of a replacement would hold every screen that shows the skin.
TEST_F(SkinOverrideTest, APipeInPlaceOfAReplacementIsNotWaitedOn)
{
    ASSERT_TRUE(QDir(m_workspace.path()).mkdir(QStringLiteral("skins")));
    const NamedPipe pipe(m_workspace.filePath(QStringLiteral("skins/158.png")), NamedPipe::Release::Readers);
    ASSERT_TRUE(pipe.isMade());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(ui::SkinStore::load(158).size(), QSize(75, 75));
    EXPECT_LT(timer.elapsed(), 1000);
}

} // namespace
