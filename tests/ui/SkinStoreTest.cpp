#include "ui/SkinStore.h"
#include "settings/SettingsFile.h"
#include "tests/support/NamedPipe.h"
#include "tests/support/TempWorkspace.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>

#include <gtest/gtest.h>

using namespace glimora;

namespace {

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
