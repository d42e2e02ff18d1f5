#include "query/QueryDialog.h"
#include "query/ReadAloudText.h"
#include "query/ReadAloudVoice.h"
#include "query/ResultPage.h"
#include "settings/ReadAloudSetting.h"
#include "tests/query/QueryStation.h"
#include "tests/support/TempWorkspace.h"
#include "ui/BitmapStatic.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"

#include "ui/SkinButton.h"
#include <QPushButton>

#include <gtest/gtest.h>
#include <QAccessible>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace glimora;
using query::QueryDialog;
using query::ReadAloudText;

namespace {

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

class ReadAloudScreenTest : public ::testing::Test
{
protected:
    ReadAloudScreenTest()
        : station(demoSettings())
    {
        station.importDemoRecords();
        ui::OkMessageBox::clearShownTexts();
    }
    ~ReadAloudScreenTest() override { query::ReadAloudVoice::setEngine(QString()); }

    // The record a row of the page shows, as the slip would print it.
    static QStringList pageRecord(const QueryDialog& dialog, int row)
    {
        return dialog.printSlip().records.value(row);
    }

    // A tap on a row, `down` of its height from its top, where the page on display drew it.
    static void touchRow(QueryDialog& dialog, int row, double down = 0.5)
    {
        dialog.grab();
        const query::ResultPage::DrawnRows rows = dialog.drawnRows();
        const int y = rows.top + row * rows.height + int(rows.height * down);
        QTest::mouseClick(&dialog, Qt::LeftButton, Qt::NoModifier, QPoint(dialog.width() / 3, y));
    }

    QueryStation station;
};

// A value as the screen shows it, as the voice is given it.
bool reads(const QString& text, const QStringList& record)
{
    for (const QString& value : record) {
        if (!value.isEmpty() && !text.contains(ReadAloudText::spoken(value)))
            return false;
    }
    return !record.isEmpty();
}

} // namespace

TEST(ReadAloudText, ReadsTheSummaryThenEachShownFieldWithPauses)
{
    EXPECT_EQ(ReadAloudText::compose(utf8("类别 : 西药          剂型 : 胶囊剂"),
                  { utf8("名称"), utf8("规格"), utf8("单价"), utf8("启用日期"), utf8("备注") },
                  { utf8(" 阿莫西林\n胶囊 "), "*", "9.50", "2024-03-05", "" }),
        utf8("类别：西药，剂型：胶囊剂。名称：阿莫西林 胶囊，单价：9.50，启用日期：2024年3月5日。"));
    EXPECT_EQ(ReadAloudText::compose("", { utf8("名称") }, { utf8("血常规") }), utf8("名称：血常规。"));
    EXPECT_EQ(ReadAloudText::compose("", {}, {}), "");
    EXPECT_EQ(ReadAloudText::spoken("2024-13"), "2024-13");
}

// Off in a bare uinfo.ini: no button. On: a tab's size at the band's right end at every
// window size, clear of every other control.
TEST_F(ReadAloudScreenTest, TheButtonStandsAtTheRightOfTheTabBandOnlyWhenOn)
{
    ASSERT_TRUE(settings::ReadAloudSetting::setEnabled(false));
    {
        QueryDialog dialog;
        ASSERT_TRUE(dialog.isReady());
        EXPECT_EQ(dialog.readAloudButton(), nullptr);
        EXPECT_TRUE(dialog.findChildren<QPushButton*>("readAloudButton").isEmpty());
    }
    ASSERT_TRUE(settings::ReadAloudSetting::setEnabled(true));
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    dialog.setWindowState(Qt::WindowNoState);
    QPushButton* button = dialog.readAloudButton();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), utf8("朗读"));
    for (const QSize size : { QSize(1280, 1024), QSize(1024, 768) }) {
        dialog.resize(size);
        dialog.show();
        // Left of the 大字 button, which the demo shows at the band's right end.
        ASSERT_TRUE(dialog.largeTextButton() && dialog.largeTextButton()->isVisible());
        const QRect large = dialog.largeTextButton()->geometry();
        EXPECT_EQ(large.right(), size.width() - 5);
        EXPECT_EQ(button->geometry(),
            QRect(large.left() - 4 - large.width(), large.y(), large.width(), large.height()));
        for (QWidget* other : dialog.findChildren<QWidget*>()) {
            if (other != button && other->parentWidget() == &dialog && other->isVisible()
                && other != dialog.control(1148) && other->width() < dialog.width()) {
                EXPECT_FALSE(other->geometry().intersects(button->geometry()))
                    << other->objectName().toStdString();
            }
        }
    }
    // Large text widens the tabs: the two buttons widen with them and stay apart.
    QTest::mouseClick(dialog.largeTextButton(), Qt::LeftButton);
    ASSERT_TRUE(dialog.largeText());
    EXPECT_EQ(button->size(), dialog.largeTextButton()->size());
    EXPECT_FALSE(button->geometry().intersects(dialog.largeTextButton()->geometry()));
}

// The button reads the record last touched on the page, the page's first until one is, and
// in the picture view the current record; the page stays as it was.
TEST_F(ReadAloudScreenTest, ItReadsTheRecordUnderTheFingerOrTheCurrentOne)
{
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    dialog.show();
    QTest::mouseClick(dialog.control(1003), Qt::LeftButton);
    ASSERT_EQ(dialog.level(), 2);
    const QString summary = dialog.printSlip().summary;
    ASSERT_TRUE(summary.contains(utf8("类别")));
    const QStringList first = pageRecord(dialog, 0);
    const QStringList third = pageRecord(dialog, 2);
    ASSERT_NE(first, third);
    EXPECT_TRUE(dialog.readAloudText().startsWith(utf8("类别：")));
    EXPECT_TRUE(reads(dialog.readAloudText(), first)) << dialog.readAloudText().toStdString();

    touchRow(dialog, 2);
    EXPECT_TRUE(reads(dialog.readAloudText(), third)) << dialog.readAloudText().toStdString();
    EXPECT_FALSE(reads(dialog.readAloudText(), first));
    EXPECT_EQ(pageRecord(dialog, 0), first);

    // A turned page has no touched record yet.
    dialog.grab();
    ASSERT_GT(dialog.pageStep(), 2);
    QTest::mouseClick(dialog.control(1138), Qt::LeftButton);
    EXPECT_TRUE(reads(dialog.readAloudText(), pageRecord(dialog, 0)));

    // Large text makes the rows taller: low in the first row is still the first record.
    QTest::mouseClick(dialog.largeTextButton(), Qt::LeftButton);
    ASSERT_TRUE(dialog.largeText());
    touchRow(dialog, 0, 0.9);
    EXPECT_TRUE(reads(dialog.readAloudText(), pageRecord(dialog, 0))) << dialog.readAloudText().toStdString();
    QTest::mouseClick(dialog.largeTextButton(), Qt::LeftButton);

    QTest::mouseClick(dialog.control(1146), Qt::LeftButton);
    QTest::mouseClick(dialog.control(1138), Qt::LeftButton);
    ASSERT_TRUE(dialog.pictureView());
    touchRow(dialog, 3);
    EXPECT_TRUE(reads(dialog.readAloudText(), pageRecord(dialog, 0)));
}

// Without a working engine the button says so and the screen goes on.
TEST_F(ReadAloudScreenTest, WithoutAnEngineTheButtonSaysSo)
{
    query::ReadAloudVoice::setEngine("no-such-engine");
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    QTest::mouseClick(dialog.readAloudButton(), Qt::LeftButton);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        QStringList { utf8("朗读不可用：本机没有可用的语音引擎，请联系管理员。") });
    QTest::mouseClick(dialog.control(1003), Qt::LeftButton);
    EXPECT_EQ(dialog.level(), 2);
}

// A screen reader finds a name and a role for every button and list of the screen, and a
// tab pressed through it does what a tap does.
TEST_F(ReadAloudScreenTest, EveryButtonAndListHasANameAndARole)
{
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    dialog.show();
    const auto interfaceOf = [](QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); };
    for (const int mode : { 0, 1 }) {
        QTest::mouseClick(dialog.control(mode == 0 ? 1143 : 1144), Qt::LeftButton);
        ASSERT_EQ(dialog.mode(), mode);
        for (QWidget* widget : dialog.findChildren<QWidget*>()) {
            const auto* picture = qobject_cast<ui::BitmapStatic*>(widget);
            const bool isList = qobject_cast<ui::DropDownCombo*>(widget);
            const bool isButton = qobject_cast<ui::SkinButton*>(widget) && widget->isEnabled();
            if (!widget->isVisible() || !(isList || isButton || (picture && picture->notifies())))
                continue;
            QAccessibleInterface* accessible = interfaceOf(widget);
            ASSERT_NE(accessible, nullptr);
            if (widget == dialog.control(1148)) {
                EXPECT_EQ(accessible->role(), QAccessible::Graphic);
                continue;
            }
            EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
                << mode << " " << widget->metaObject()->className() << " " << widget->geometry().x();
            const QAccessible::Role expected
                = isList ? QAccessible::ComboBox : (isButton ? QAccessible::Button : accessible->role());
            EXPECT_EQ(accessible->role(), expected) << accessible->text(QAccessible::Name).toStdString();
        }
    }
    EXPECT_EQ(
        interfaceOf(dialog.control(1000))->text(QAccessible::Name), dialog.control<QLabel>(1034)->text());
    EXPECT_EQ(interfaceOf(dialog.control(1125))->text(QAccessible::Name), utf8("查询"));
    EXPECT_EQ(interfaceOf(dialog.control(1171))->text(QAccessible::Name), utf8("清除"));
    EXPECT_EQ(interfaceOf(dialog.readAloudButton())->text(QAccessible::Name), utf8("朗读"));
    QAccessibleInterface* tab = interfaceOf(dialog.control(1143));
    EXPECT_EQ(tab->role(), QAccessible::PageTab);
    EXPECT_EQ(tab->text(QAccessible::Name), utf8("分类查询"));
    tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(dialog.mode(), 0);
    EXPECT_EQ(
        interfaceOf(dialog.skinButton(1003))->text(QAccessible::Name), dialog.skinButton(1003)->caption());
}

// What the button reads, spoken by espeak-ng's Mandarin voice into a file, is not silence.
TEST_F(ReadAloudScreenTest, TheTextSpeaksAsMandarinThatIsNotSilence)
{
    const QString espeak = QStandardPaths::findExecutable("espeak-ng");
    const QString sox = QStandardPaths::findExecutable("sox");
    if (espeak.isEmpty() || sox.isEmpty())
        GTEST_SKIP() << "espeak-ng or sox is missing: run scripts/install-deps";
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    QTest::mouseClick(dialog.control(1003), Qt::LeftButton);
    const QString text = dialog.readAloudText();
    ASSERT_FALSE(text.isEmpty());
    const QString wav = station.workspace.filePath("spoken.wav");
    QProcess speak;
    speak.start(espeak, { "-v", "cmn", "-w", wav, text });
    ASSERT_TRUE(speak.waitForFinished(60000));
    ASSERT_EQ(speak.exitCode(), 0) << speak.readAllStandardError().toStdString();
    QProcess stat;
    stat.start(sox, { wav, "-n", "stat" });
    ASSERT_TRUE(stat.waitForFinished(60000));
    const QString report = QString::fromUtf8(stat.readAllStandardError());
    const auto figure = [&report](const char* name) {
        const QRegularExpression line(QString::fromLatin1(name) + QStringLiteral(":\\s*([0-9.]+)"));
        return line.match(report).captured(1).toDouble();
    };
    // Every record's text lasts seconds; a voice that failed leaves a short or silent file.
    EXPECT_GT(figure("Length \\(seconds\\)"), 2.0) << report.toStdString();
    EXPECT_GT(figure("RMS\\s+amplitude"), 0.01) << report.toStdString();
}
