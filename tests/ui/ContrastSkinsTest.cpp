#include "res/SkinTable.h"
#include "settings/SettingsFile.h"
#include "tests/support/TempWorkspace.h"
#include "ui/ControlColours.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"
#include "ui/SkinStore.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <QHash>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using namespace glimora;

namespace {

double luminance(QRgb colour)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour))
        + 0.0722 * channel(qBlue(colour));
}

double contrastRatio(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QRgb mostCommon(const QList<QRgb>& pixels)
{
    QHash<QRgb, int> counts;
    for (const QRgb pixel : pixels)
        ++counts[pixel];
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            best = it.key();
            most = it.value();
        }
    }
    return best;
}

// A button of the skin on the white query screen, captioned or with a blank caption.
QImage rendered(int skin, const QString& caption, bool enabled)
{
    QWidget screen;
    screen.setAutoFillBackground(true);
    screen.setPalette(QPalette(Qt::white));
    const QSize size = res::findSkinEntry(skin)->size().boundedTo(QSize(75, 70));
    screen.resize(size);
    ui::SkinButton button(QString(), &screen);
    button.setGeometry(QRect(QPoint(), size));
    button.setBitmapId(skin);
    button.setCaptionFont(4);
    button.setCaption(caption);
    button.setEnabled(enabled);
    return screen.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The caption's colour is that of its strokes' cores, the changed pixel that stands out most
// from what lay under it (the edges are blends); its background is the commonest of the pixels
// it covered.
double textContrast(const QImage& blank, const QImage& captioned)
{
    QList<QRgb> text;
    QList<QRgb> under;
    for (int y = 0; y < blank.height(); ++y) {
        for (int x = 0; x < blank.width(); ++x) {
            if (blank.pixel(x, y) != captioned.pixel(x, y)) {
                text << captioned.pixel(x, y);
                under << blank.pixel(x, y);
            }
        }
    }
    if (text.size() < 20)
        return 0;
    const QRgb background = mostCommon(under);
    double best = 0;
    for (const QRgb pixel : text)
        best = std::max(best, contrastRatio(pixel, background));
    return best;
}

double captionContrast(int skin, bool enabled)
{
    return textContrast(
        rendered(skin, QStringLiteral(" "), enabled), rendered(skin, QString::fromUtf8("查询"), enabled));
}

QImage grabbed(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class ContrastSkinsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        workspace.writeFile("uinfo.ini", "[show]\ncontrast=1\n");
        settings::setSettingsDirectory(workspace.path());
        ui::createSharedFonts();
    }
    void TearDown() override { settings::setSettingsDirectory({}); }

    TempWorkspace workspace;
};

} // namespace

// Black captions, enabled or greyed, on every skin of the set; and the labels painted into the
// tab pictures against their faces.
TEST_F(ContrastSkinsTest, EveryCaptionOnEverySkinOfTheSetReadsAtSevenToOne)
{
    int skins = 0;
    for (const res::SkinEntry& skin : res::skinEntries()) {
        if (QImage(res::contrastSkinResourcePath(skin.id)).isNull())
            continue;
        ++skins;
        for (const bool enabled : { true, false })
            EXPECT_GE(captionContrast(skin.id, enabled), 7.0) << skin.id << (enabled ? "" : " disabled");
    }
    EXPECT_GE(skins, 15);

    for (const int tab : { 143, 144, 145, 146, 163 }) {
        const QImage picture = ui::SkinStore::load(tab).toImage().convertToFormat(QImage::Format_RGB32);
        QList<QRgb> pixels;
        for (int y = 4; y < picture.height() - 4; ++y) {
            for (int x = 4; x < picture.width() - 4; ++x)
                pixels << picture.pixel(x, y);
        }
        const QRgb face = mostCommon(pixels);
        QList<QRgb> label;
        for (const QRgb pixel : pixels) {
            if (contrastRatio(pixel, face) > 1.5)
                label << pixel;
        }
        ASSERT_FALSE(label.isEmpty()) << tab;
        EXPECT_GE(contrastRatio(mostCommon(label), face), 7.0) << tab;
    }
}

// The setting off: the ordinary pictures, whatever the contrast folder holds.
TEST_F(ContrastSkinsTest, OffTheOrdinarySkinsShow)
{
    const auto same = [](const QPixmap& loaded, const QString& path) {
        return loaded.toImage().convertToFormat(QImage::Format_ARGB32)
            == QImage(path).convertToFormat(QImage::Format_ARGB32);
    };
    EXPECT_TRUE(same(ui::SkinStore::load(158), res::contrastSkinResourcePath(158)));
    workspace.writeFile("uinfo.ini", "[show]\n");
    EXPECT_TRUE(same(ui::SkinStore::load(158), res::skinResourcePath(158)));
    EXPECT_FALSE(same(ui::SkinStore::load(158), res::contrastSkinResourcePath(158)));
}

// The controls no skin draws: the search entry's hint and text, a list's selected entry, the
// band's buttons up and down.
TEST_F(ContrastSkinsTest, TheControlsNoSkinDrawsReadAtSevenToOneToo)
{
    QLineEdit entry;
    entry.setFont(ui::sharedFont(2));
    entry.resize(260, 40);
    ui::ControlColours::applyTo(&entry);
    const QImage empty = grabbed(entry);
    entry.setPlaceholderText(QString::fromUtf8("搜索：文字"));
    EXPECT_GE(textContrast(empty, grabbed(entry)), 7.0) << "hint";
    entry.setPlaceholderText(QString());
    entry.setText(QStringLiteral("xiyao"));
    EXPECT_GE(textContrast(empty, grabbed(entry)), 7.0) << "text";

    const auto selectedEntry = [](const QString& text) {
        QComboBox list;
        list.addItems({ text, text });
        ui::ControlColours::applyTo(&list);
        list.resize(200, 36);
        list.showPopup();
        QAbstractItemView* view = list.view();
        view->setCurrentIndex(view->model()->index(0, 0));
        const QImage picture = grabbed(*view);
        list.hidePopup();
        return picture;
    };
    EXPECT_GE(textContrast(selectedEntry(QStringLiteral(" ")), selectedEntry(QString::fromUtf8("片剂"))), 7.0)
        << "list";

    for (const bool checked : { false, true }) {
        const auto band = [checked](const QString& text) {
            QPushButton button(text);
            button.setCheckable(true);
            button.setChecked(checked);
            button.setFont(ui::sharedFont(4));
            button.setStyleSheet(ui::ControlColours::bandButtonStyleSheet());
            button.resize(100, 36);
            return grabbed(button);
        };
        EXPECT_GE(textContrast(band(QStringLiteral(" ")), band(QString::fromUtf8("朗读"))), 7.0) << checked;
    }
}
