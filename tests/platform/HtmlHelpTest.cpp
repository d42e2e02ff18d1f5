#include "platform/HtmlHelp.h"
#include "platform/ChmFile.h"
#include "platform/HelpBrowser.h"
#include "platform/HelpLoader.h"
#include "platform/HelpWindow.h"
#include "tests/support/NamedPipe.h"
#include "tests/support/TempWorkspace.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace glimora::platform;

namespace {

const QString committedHelp = QStringLiteral(GLIMORA_HELP_CHM);

QList<HelpWindow*> helpWindows()
{
    QList<HelpWindow*> windows;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == QLatin1String("helpWindow") && widget->isVisible())
            windows.append(qobject_cast<HelpWindow*>(widget));
    }
    return windows;
}

void closeHelpWindows()
{
    for (HelpWindow* window : helpWindows())
        window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class HtmlHelpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        HelpLoader::instance().reset();
        HelpLoader::instance().setLibraryName(QString());
    }

    void TearDown() override
    {
        closeHelpWindows();
        HelpLoader::instance().reset();
        HelpLoader::instance().setLibraryName(QString());
    }

    void seedHelp() const { ASSERT_TRUE(QFile::copy(committedHelp, m_workspace.filePath("help.chm"))); }

    TempWorkspace m_workspace;
};

TEST_F(HtmlHelpTest, AMissingLibraryIsTriedOnceAndThenHelpDoesNothing)
{
    seedHelp();
    HelpLoader::instance().setLibraryName(QStringLiteral("libglimora-no-such-chm.so.1"));
    EXPECT_EQ(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20065), WId(0));

    // Even with the real library at hand, the failure holds for the rest of the run.
    HelpLoader::instance().setLibraryName(QStringLiteral("libchm.so.1"));
    EXPECT_EQ(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20065), WId(0));
    EXPECT_TRUE(helpWindows().isEmpty());
}

TEST_F(HtmlHelpTest, ALibraryWithoutTheEntryPointsCountsAsMissing)
{
    seedHelp();
    HelpLoader::instance().setLibraryName(QStringLiteral("libc.so.6"));
    EXPECT_EQ(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20084), WId(0));
    HelpLoader::instance().setLibraryName(QString());
    EXPECT_EQ(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20084), WId(0));
}

TEST_F(HtmlHelpTest, AMissingFileShowsNothingButIsNotRemembered)
{
    EXPECT_EQ(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20065), WId(0));
    EXPECT_TRUE(helpWindows().isEmpty());

    seedHelp();
    EXPECT_NE(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20065), WId(0));
    EXPECT_EQ(helpWindows().size(), 1);
}

// The help library would wait in a pipe for a writer, and the screen with it.
TEST_F(HtmlHelpTest, APipeNamedAsTheHelpFileShowsNothingAtOnce)
{
    const NamedPipe pipe(m_workspace.filePath("help.chm"), NamedPipe::Release::Readers);
    ASSERT_TRUE(pipe.isMade());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20065), WId(0));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(helpWindows().isEmpty());
}

TEST_F(HtmlHelpTest, UnknownContextsAndCommandsShowNothing)
{
    seedHelp();
    EXPECT_EQ(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x12345), WId(0));
    EXPECT_EQ(HtmlHelpA(0, "help.chm", 0x0000, 0), WId(0));
    EXPECT_EQ(HtmlHelpA(0, nullptr, HH_HELP_CONTEXT, 0x20065), WId(0));
    EXPECT_TRUE(helpWindows().isEmpty());
}

TEST_F(HtmlHelpTest, TheCompiledContextMapNamesOurPages)
{
    auto library = ChmLibrary::load(QStringLiteral("libchm.so.1"));
    ASSERT_TRUE(library);
    auto file = ChmFile::open(library, committedHelp);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->pageForContext(0x20065), QStringLiteral("/login.htm"));
    EXPECT_EQ(file->pageForContext(0x20084), QStringLiteral("/config.htm"));
    EXPECT_EQ(file->pageForContext(0x20082), QStringLiteral("/datamanage.htm"));
    EXPECT_TRUE(file->pageForContext(0x20066).isEmpty());
    EXPECT_TRUE(file->read(QStringLiteral("/no-such-page.htm")).isNull());
}

// The help says what the screens do, and every back-office screen has its page, listed in the
// contents and linked from the first page.
TEST_F(HtmlHelpTest, TheHelpCoversTheBackOfficeAsItBehaves)
{
    seedHelp();
    ASSERT_NE(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20082), WId(0));
    const QString dataManagement = helpWindows().first()->browser()->toPlainText();
    EXPECT_TRUE(dataManagement.contains(QString::fromUtf8("确定删除当前记录吗？")));
    EXPECT_FALSE(dataManagement.contains(QString::fromUtf8("不会再询问")));

    auto library = ChmLibrary::load(QStringLiteral("libchm.so.1"));
    ASSERT_TRUE(library);
    auto file = ChmFile::open(library, committedHelp);
    ASSERT_TRUE(file);
    const QString contents = QString::fromUtf8(file->read(QStringLiteral("/help.hhc")));
    const QString index = QString::fromUtf8(file->read(QStringLiteral("/index.htm")));
    for (const char* page : { "import.htm", "backup.htm", "users.htm", "password.htm" }) {
        EXPECT_FALSE(file->read(QLatin1Char('/') + QLatin1String(page)).isNull()) << page;
        EXPECT_TRUE(contents.contains(QStringLiteral("\"%1\"").arg(QLatin1String(page)))) << page;
        EXPECT_TRUE(index.contains(QStringLiteral("href=\"%1\"").arg(QLatin1String(page)))) << page;
    }
    EXPECT_TRUE(
        QString::fromUtf8(file->read(QStringLiteral("/users.htm"))).contains(QStringLiteral("bulkadmin")));
}

struct HelpTopic
{
    quintptr context;
    const char* title;
    const char* text;
};

class HtmlHelpTopicTest : public HtmlHelpTest, public ::testing::WithParamInterface<HelpTopic>
{
};

TEST_P(HtmlHelpTopicTest, ContextOpensItsPageInOurWindow)
{
    seedHelp();
    const HelpTopic topic = GetParam();
    const WId handle = HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, topic.context);
    ASSERT_NE(handle, WId(0));

    const QList<HelpWindow*> windows = helpWindows();
    ASSERT_EQ(windows.size(), 1);
    HelpWindow* window = windows.first();
    EXPECT_EQ(window->winId(), handle);
    EXPECT_TRUE(window->windowTitle().contains(QString::fromUtf8(topic.title)))
        << window->windowTitle().toStdString();
    EXPECT_TRUE(window->browser()->toPlainText().contains(QString::fromUtf8(topic.text)));
}

INSTANTIATE_TEST_SUITE_P(Contexts, HtmlHelpTopicTest,
    ::testing::Values(HelpTopic { 0x20065, "登录", "服务器" }, HelpTopic { 0x20084, "系统配置", "批量处理" },
        HelpTopic { 0x20082, "数据管理", "上传图片" }));

TEST_F(HtmlHelpTest, PicturesComeOutOfTheHelpFile)
{
    seedHelp();
    ASSERT_NE(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20065), WId(0));
    HelpBrowser* browser = helpWindows().first()->browser();
    const QVariant picture = browser->loadResource(
        QTextDocument::ImageResource, browser->source().resolved(QUrl("images/login.png")));
    EXPECT_FALSE(QImage::fromData(picture.toByteArray()).isNull());
}

TEST_F(HtmlHelpTest, LinksBetweenPagesStayInTheHelpWindow)
{
    seedHelp();
    ASSERT_NE(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20065), WId(0));
    HelpWindow* window = helpWindows().first();
    HelpBrowser* browser = window->browser();
    window->resize(760, 560);
    const QTextCursor link = browser->document()->find(QString::fromUtf8("帮助目录"));
    ASSERT_FALSE(link.isNull());
    QTextCursor middle(browser->document());
    middle.setPosition((link.selectionStart() + link.selectionEnd()) / 2);
    const QPoint where = browser->cursorRect(middle).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, where);
    EXPECT_EQ(browser->source(), HelpBrowser::pageUrl(QStringLiteral("index.htm")));
    EXPECT_TRUE(window->windowTitle().contains(QString::fromUtf8("帮助")));
}

TEST_F(HtmlHelpTest, OneWindowFollowsTheRequestsOfTheSameOwner)
{
    seedHelp();
    HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20065);
    HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20082);
    HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20082);
    const QList<HelpWindow*> windows = helpWindows();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows.first()->windowTitle().contains(QString::fromUtf8("数据管理")));
    EXPECT_TRUE(windows.first()->browser()->toPlainText().contains(QString::fromUtf8("上传图片")));
}

TEST_F(HtmlHelpTest, WithoutAnOwnerTheWindowBelongsToTheModalDialog)
{
    // A window outside the running modal dialog could not be used until it closed.
    seedHelp();
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    ASSERT_NE(HtmlHelpA(0, "help.chm", HH_HELP_CONTEXT, 0x20084), WId(0));
    ASSERT_EQ(helpWindows().size(), 1);
    EXPECT_EQ(helpWindows().first()->parentWidget(), &dialog);
    closeHelpWindows();
}
