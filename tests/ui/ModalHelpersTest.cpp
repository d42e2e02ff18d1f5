#include "tests/support/TempWorkspace.h"
#include "ui/ApplicationTitle.h"
#include "ui/FileDialog.h"
#include "ui/OkMessageBox.h"
#include "ui/QtTranslations.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

using namespace glimora::ui;

namespace {

class OkMessageBoxTest : public ::testing::Test
{
protected:
    void SetUp() override { OkMessageBox::clearShownTexts(); }
    void TearDown() override
    {
        OkMessageBox::setAutoAnswer(QMessageBox::NoButton);
        OkMessageBox::setNextAnswer(QMessageBox::NoButton);
        setApplicationTitle(QStringLiteral("glimora"));
    }
};

TEST_F(OkMessageBoxTest, WarningIconOkOnlyAndTheApplicationTitle)
{
    setApplicationTitle(QStringLiteral("Station"));
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(OkMessageBox::show(nullptr, QString::fromUtf8("数据库异常，请稍后再试。")), QMessageBox::Ok);
    EXPECT_EQ(title, QStringLiteral("Station"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST_F(OkMessageBoxTest, InjectedAnswersShowNothingButRecordTheText)
{
    OkMessageBox::setNextAnswer(QMessageBox::Ok);
    EXPECT_EQ(OkMessageBox::show(nullptr, QStringLiteral("first")), QMessageBox::Ok);
    OkMessageBox::setAutoAnswer(QMessageBox::Ok);
    OkMessageBox::show(nullptr, QStringLiteral("second"));
    OkMessageBox::show(nullptr, QStringLiteral("third"));
    EXPECT_EQ(OkMessageBox::shownTexts(),
        QStringList({ QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third") }));
}

TEST_F(OkMessageBoxTest, QuestionDefaultsToNoAndOnlyYesConsents)
{
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QTimer::singleShot(0, [&]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        defaultButton = box->standardButton(box->defaultButton());
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(OkMessageBox::askYesNo(nullptr, QStringLiteral("delete?")));
    EXPECT_EQ(defaultButton, QMessageBox::No);

    OkMessageBox::setAutoAnswer(QMessageBox::Ok); // a flow answering every box with OK deletes nothing
    EXPECT_FALSE(OkMessageBox::askYesNo(nullptr, QStringLiteral("delete?")));
    OkMessageBox::setNextAnswer(QMessageBox::Yes);
    EXPECT_TRUE(OkMessageBox::askYesNo(nullptr, QStringLiteral("delete?")));
    EXPECT_EQ(OkMessageBox::shownTexts().size(), 3);
}

// The idle of the query screen closes what is left open: a question so closed consents to nothing.
TEST_F(OkMessageBoxTest, ClosingWhatIsOpenAnswersOkOrNo)
{
    EXPECT_FALSE(OkMessageBox::closeOpen());
    bool closed = false;
    QTimer::singleShot(0, [&]() { closed = OkMessageBox::closeOpen(); });
    EXPECT_EQ(OkMessageBox::show(nullptr, QStringLiteral("left open")), QMessageBox::Ok);
    EXPECT_TRUE(closed);
    QTimer::singleShot(0, [&]() { closed = OkMessageBox::closeOpen(); });
    EXPECT_FALSE(OkMessageBox::askYesNo(nullptr, QStringLiteral("delete?")));
    EXPECT_TRUE(closed);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Messages carry what a visitor typed: markup in it must not make the box read a file.
TEST_F(OkMessageBoxTest, TextsShowAsWrittenNeverAsMarkup)
{
    TempWorkspace workspace;
    QImage picture(600, 400, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(workspace.filePath(QStringLiteral("big.png"))));
    const QString text = QString::fromUtf8("“<img src=\"big.png\">”不是数字");
    for (const bool question : { false, true }) {
        int height = 0;
        QTimer::singleShot(0, [&]() {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            height = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->sizeHint().height();
            box->button(question ? QMessageBox::No : QMessageBox::Ok)->click();
        });
        if (question)
            OkMessageBox::askYesNo(nullptr, text);
        else
            OkMessageBox::show(nullptr, text);
        EXPECT_GT(height, 0) << question;
        EXPECT_LT(height, 100) << question;
    }
}

// A short message must not make the box so narrow that the title bar cuts its title.
TEST_F(OkMessageBoxTest, ABoxIsWideEnoughForItsTitle)
{
    QFont bold = QApplication::font();
    bold.setBold(true);
    for (const char* title : { "glimora", "晴岚查询软件管理后台 glimora" }) {
        setApplicationTitle(QString::fromUtf8(title));
        for (const bool question : { false, true }) {
            int width = 0;
            QTimer::singleShot(0, [&]() {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                width = box->width();
                box->button(question ? QMessageBox::No : QMessageBox::Ok)->click();
            });
            if (question)
                OkMessageBox::askYesNo(nullptr, QStringLiteral("?"));
            else
                OkMessageBox::show(nullptr, QString::fromUtf8("请选择对应记录"));
            // The title, and beside it an icon and three buttons of a title bar.
            EXPECT_GE(width, QFontMetrics(bold).horizontalAdvance(QString::fromUtf8(title)) + 4 * 32)
                << title << " " << question;
        }
    }
}

TEST(ApplicationTitle, DefaultsToTheProgramName)
{
    EXPECT_EQ(applicationTitle(), QStringLiteral("glimora"));
}

TEST(FileDialog, InjectedNameAnswersOnceAndTheRequestIsKept)
{
    FileDialog::setNextFileName(QStringLiteral("/data/records.xls"));
    EXPECT_EQ(
        FileDialog::getOpenFileName(nullptr, QStringLiteral("(*.XLS)|*.XLS||"), QStringLiteral("/data")),
        QStringLiteral("/data/records.xls"));
    EXPECT_EQ(FileDialog::lastFilter(), QStringLiteral("(*.XLS)|*.XLS||"));
    EXPECT_EQ(FileDialog::lastDirectory(), QStringLiteral("/data"));

    FileDialog::setNextFileName(QString());
    EXPECT_EQ(FileDialog::getOpenFileName(nullptr, QStringLiteral("morvex(*.dbk)|*.dbk||")), QString());
}

// A name of another kind gets the kind's extension; a file of that name is not replaced unasked.
TEST(FileDialog, TheNameWrittenIsAskedAboutBeforeItIsReplaced)
{
    QTemporaryDir folder;
    const QString typed = folder.filePath("a.txt");
    const QString filter = QStringLiteral("(*.csv)|*.csv||");
    FileDialog::setNextFileName(typed);
    EXPECT_EQ(FileDialog::getSaveFileNameOfKind(nullptr, filter), typed + ".csv");
    QFile existing(typed + ".csv");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    OkMessageBox::clearShownTexts();
    OkMessageBox::setNextAnswer(QMessageBox::No);
    FileDialog::setNextFileName(typed);
    EXPECT_EQ(FileDialog::getSaveFileNameOfKind(nullptr, filter), QString());
    EXPECT_EQ(OkMessageBox::shownTexts(),
        QStringList { QString::fromUtf8("“%1”已存在，要替换它吗？").arg(typed + ".csv") });
    OkMessageBox::setNextAnswer(QMessageBox::Yes);
    FileDialog::setNextFileName(typed);
    EXPECT_EQ(FileDialog::getSaveFileNameOfKind(nullptr, filter), typed + ".csv");
}

struct FilterCase
{
    const char* name;
    const char* platform;
    const char* names;
};

class FileDialogFilterTest : public ::testing::TestWithParam<FilterCase>
{
};

TEST_P(FileDialogFilterTest, PlatformFiltersBecomeNameFiltersOfBothCases)
{
    EXPECT_EQ(FileDialog::toNameFilters(QString::fromUtf8(GetParam().platform)),
        QString::fromUtf8(GetParam().names));
}

INSTANTIATE_TEST_SUITE_P(Screens, FileDialogFilterTest,
    ::testing::Values(FilterCase { "workbook", "(*.XLS)|*.XLS||", "(*.XLS *.xls)" },
        FilterCase { "backup", "morvex(*.dbk)|*.dbk||", "morvex(*.dbk *.DBK)" },
        FilterCase { "pictures", "jpg File(*.jpg)|*.jpg|word File(*.doc)|*.doc||",
            "jpg File(*.jpg *.JPG);;word File(*.doc *.DOC)" },
        FilterCase { "twoPatterns", "All|*.a;*.b||", "All(*.a *.A *.b *.B)" }, FilterCase { "none", "", "" }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

// The texts a person reads on the modal window that `open` shows (its title, labels and
// buttons), which is then closed.
QStringList textsOfTheWindowOpened(const std::function<void()>& open)
{
    QStringList texts;
    QTimer::singleShot(0, [&texts]() {
        QWidget* window = QApplication::activeModalWidget();
        if (!window)
            return;
        texts << window->windowTitle();
        for (auto* label : window->findChildren<QLabel*>()) {
            if (label->isVisible() && !label->text().isEmpty())
                texts << label->text();
        }
        for (auto* button : window->findChildren<QPushButton*>()) {
            if (button->isVisible())
                texts << button->text();
        }
        if (auto* box = qobject_cast<QMessageBox*>(window))
            box->button(box->standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok)
                ->click();
        else
            qobject_cast<QDialog*>(window)->reject();
    });
    open();
    return texts;
}

QStringList shownWithQtTexts(const QString& directory)
{
    const QtTranslations translations(directory);
    QStringList texts;
    texts << textsOfTheWindowOpened([] { OkMessageBox::show(nullptr, QStringLiteral("m")); });
    texts << textsOfTheWindowOpened([] { OkMessageBox::askYesNo(nullptr, QStringLiteral("q")); });
    texts << textsOfTheWindowOpened(
        [] { FileDialog::getOpenFileName(nullptr, QStringLiteral("(*.XLS)|*.XLS||")); });
    texts << textsOfTheWindowOpened(
        [] { FileDialog::getSaveFileName(nullptr, QStringLiteral("morvex(*.dbk)|*.dbk||")); });
    texts.removeAll(QStringLiteral("m"));
    texts.removeAll(QStringLiteral("q"));
    return texts;
}

} // namespace

// Qt's own texts read as the station's do; without the translation file they stay English
// and nothing else changes.
TEST(QtTranslations, MessageBoxesAndFileDialogsReadInChinese)
{
    const QStringList english = shownWithQtTexts(QStringLiteral("/nonexistent"));
    EXPECT_TRUE(english.contains(QStringLiteral("OK")));
    EXPECT_TRUE(english.contains(QStringLiteral("&Save")));

    setApplicationTitle(QString::fromUtf8("晴岚"));
    const QStringList chinese = shownWithQtTexts(QtTranslations::defaultDirectory());
    setApplicationTitle(QStringLiteral("glimora"));
    for (const char* text :
        { "确定", "是(&Y)", "否(&N)", "查找范围：", "文件名称(&N)：", "打开(&O)", "取消", "保存(&S)" })
        EXPECT_TRUE(chinese.contains(QString::fromUtf8(text))) << text;
    for (const QString& text : chinese)
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")))) << text.toStdString();
}
