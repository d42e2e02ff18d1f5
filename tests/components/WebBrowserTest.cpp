#include "components/CWebBrowser2.h"
#include "components/HomeSiteRule.h"
#include "components/PageView.h"
#include "components/PageViewFactory.h"
#include "components/TextPageView.h"
#include "tests/components/LoopbackHttpServer.h"
#include "tests/support/TempWorkspace.h"
#include "tests/support/WaitFor.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace glimora::components;

namespace {

// WebEngine reads its flags and needs shared OpenGL contexts before the QApplication of the
// test main exists; a namespace-scope initialiser runs before main. As root under the
// offscreen platform Chromium runs only without its sandbox and GPU.
const bool webEnginePrepared = [] {
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu --disable-gpu-compositing");
    PageViewFactory::prepareApplication();
    return true;
}();

QString plainText(const PageView& view)
{
    QString text;
    bool received = false;
    view.requestPlainText([&](const QString& value) {
        text = value;
        received = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return received; }, 10000));
    return text;
}

class WebBrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(webEnginePrepared);
        ASSERT_TRUE(m_server.isListening());
        m_server.setPage("/first/flash.htm",
            QStringLiteral("<html><head><meta charset=\"utf-8\"><title>首页</title></head>"
                           "<body><h1>欢迎光临</h1><a href=\"/second.htm\">下一页</a></body></html>")
                .toUtf8(),
            "text/html");
        QStringEncoder toGbk("GBK");
        const QByteArray gbk = toGbk.encode(QStringLiteral("<html><body><p>查询系统</p></body></html>"));
        m_server.setPage("/second.htm", gbk, "text/html; charset=GBK");
    }

    LoopbackHttpServer m_server;
};

TEST_F(WebBrowserTest, TheTextViewShowsAPageFromTheLoopbackServer)
{
    auto* view = new TextPageView;
    CWebBrowser2 browser(view, nullptr);
    QSignalSpy completed(&browser, &CWebBrowser2::DocumentComplete);
    browser.Navigate(m_server.url(QStringLiteral("/first/flash.htm")));
    EXPECT_EVENTUALLY(completed.count() == 1);
    EXPECT_TRUE(completed.first().at(1).toBool());
    EXPECT_EQ(browser.LocationURL(), m_server.url(QStringLiteral("/first/flash.htm")));
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("欢迎光临")));

    // A link leads on in the same view, decoded by the charset the server names.
    emit view->textBrowser()->anchorClicked(QUrl(QStringLiteral("/second.htm")));
    EXPECT_EVENTUALLY(completed.count() == 2);
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("查询系统")));
    EXPECT_EQ(browser.LocationURL(), m_server.url(QStringLiteral("/second.htm")));
}

TEST_F(WebBrowserTest, NavigationErrorsStayInsideTheBrowser)
{
    auto* view = new TextPageView;
    CWebBrowser2 browser(view, nullptr);
    QSignalSpy completed(&browser, &CWebBrowser2::DocumentComplete);

    browser.Navigate(m_server.url(QStringLiteral("/missing.htm")));
    EXPECT_EVENTUALLY(completed.count() == 1);
    EXPECT_FALSE(completed.last().at(1).toBool());
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("not here")));

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    browser.Navigate(QStringLiteral("http://127.0.0.1:%1/first/flash.htm").arg(port));
    EXPECT_EVENTUALLY(completed.count() == 2);
    EXPECT_FALSE(completed.last().at(1).toBool());
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("无法显示该网页")));

    browser.Navigate(QStringLiteral("ftp://127.0.0.1/page.htm"));
    EXPECT_EVENTUALLY(completed.count() == 3);
    EXPECT_FALSE(completed.last().at(1).toBool());

    // A second navigation before the first answers: only the second page is shown.
    browser.Navigate(m_server.url(QStringLiteral("/second.htm")));
    browser.Navigate(m_server.url(QStringLiteral("/first/flash.htm")));
    EXPECT_EVENTUALLY(completed.count() == 4);
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("欢迎光临")));
    QCoreApplication::processEvents();
    EXPECT_EQ(completed.count(), 4);
}

TEST_F(WebBrowserTest, TheTextViewShowsLocalFiles)
{
    TempWorkspace workspace;
    workspace.writeFile(QStringLiteral("home.htm"),
        QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>本地首页</body></html>").toUtf8());
    auto* view = new TextPageView;
    CWebBrowser2 browser(view, nullptr);
    QSignalSpy completed(&browser, &CWebBrowser2::DocumentComplete);
    browser.Navigate(QUrl::fromLocalFile(workspace.filePath(QStringLiteral("home.htm"))).toString());
    EXPECT_EVENTUALLY(completed.count() == 1);
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("本地首页")));

    browser.Navigate(QStringLiteral("home.htm")); // a path relative to the working directory
    EXPECT_EVENTUALLY(completed.count() == 2);
    EXPECT_TRUE(completed.last().at(1).toBool());
}

TEST_F(WebBrowserTest, AnAddressWithoutSchemeIsAWebAddress)
{
    TempWorkspace workspace;
    workspace.writeFile(QStringLiteral("home.htm"), "<html><body>x</body></html>");
    EXPECT_EQ(CWebBrowser2::addressUrl(QStringLiteral("www.example.com/first/flash.htm")),
        QUrl(QStringLiteral("http://www.example.com/first/flash.htm")));
    EXPECT_EQ(CWebBrowser2::addressUrl(QStringLiteral("localhost:8080/first/flash.htm")),
        QUrl(QStringLiteral("http://localhost:8080/first/flash.htm")));
    EXPECT_EQ(CWebBrowser2::addressUrl(QStringLiteral("about:blank")), QUrl(QStringLiteral("about:blank")));
    EXPECT_EQ(CWebBrowser2::addressUrl(QStringLiteral("home.htm")),
        QUrl::fromLocalFile(workspace.filePath(QStringLiteral("home.htm"))));
    EXPECT_EQ(
        CWebBrowser2::addressUrl(QStringLiteral("missing.htm")), QUrl(QStringLiteral("http://missing.htm")));

    auto* view = new TextPageView;
    CWebBrowser2 browser(view, nullptr);
    QSignalSpy completed(&browser, &CWebBrowser2::DocumentComplete);
    const QString address = m_server.url(QStringLiteral("/first/flash.htm")).mid(int(qstrlen("http://")));
    ASSERT_TRUE(address.startsWith(QStringLiteral("127.0.0.1:")));
    browser.Navigate(address);
    EXPECT_EVENTUALLY(completed.count() == 1);
    EXPECT_TRUE(completed.first().at(1).toBool());
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("欢迎光临")));
}

TEST_F(WebBrowserTest, ALargeLocalFileIsNotReadPastTheCapNorOnTheScreensThread)
{
    TempWorkspace workspace;
    {
        QFile large(workspace.filePath(QStringLiteral("large.htm")));
        ASSERT_TRUE(large.open(QIODevice::WriteOnly));
        ASSERT_TRUE(large.resize(TextPageView::MaximumPageBytes * 5 / 2)); // 40 MB
    }
    workspace.writeFile(QStringLiteral("small.htm"), QByteArray("<html><body>small page</body></html>"));
    auto* view = new TextPageView;
    CWebBrowser2 browser(view, nullptr);
    QSignalSpy completed(&browser, &CWebBrowser2::DocumentComplete);
    browser.Navigate(QUrl::fromLocalFile(workspace.filePath(QStringLiteral("large.htm"))).toString());
    EXPECT_EQ(completed.count(), 0); // the screen goes on while the file is read
    EXPECT_EVENTUALLY(completed.count() == 1);
    EXPECT_FALSE(completed.last().at(1).toBool());
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("页面过大")));

    // Gone on before the large read ends: only the last page shows.
    browser.Navigate(QUrl::fromLocalFile(workspace.filePath(QStringLiteral("large.htm"))).toString());
    browser.Navigate(QUrl::fromLocalFile(workspace.filePath(QStringLiteral("small.htm"))).toString());
    EXPECT_EVENTUALLY(plainText(*view).contains(QStringLiteral("small page")));
    QTest::qWait(50);
    EXPECT_TRUE(plainText(*view).contains(QStringLiteral("small page")));
}

TEST_F(WebBrowserTest, AViewThatGoesWhileReadingALocalFileTakesItsReaderWithIt)
{
    TempWorkspace workspace;
    {
        QFile large(workspace.filePath(QStringLiteral("large.htm")));
        ASSERT_TRUE(large.open(QIODevice::WriteOnly));
        ASSERT_TRUE(large.resize(TextPageView::MaximumPageBytes * 5 / 2));
    }
    QPointer<QThread> reader;
    {
        TextPageView view;
        view.navigate(QUrl::fromLocalFile(workspace.filePath(QStringLiteral("large.htm"))));
        reader = view.findChild<QThread*>();
        ASSERT_FALSE(reader.isNull());
    }
    EXPECT_TRUE(reader.isNull()); // not left reading for a view that is gone
    QCoreApplication::processEvents();
}

TEST_F(WebBrowserTest, APathThatIsNoFileIsRefusedNotWaitedOn)
{
    // A named pipe blocks its reader until someone writes: the view would wait on close.
    TempWorkspace workspace;
    const QString pipe = workspace.filePath(QStringLiteral("pipe.htm"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    {
        TextPageView view;
        QSignalSpy finished(&view, &PageView::loadFinished);
        view.navigate(QUrl::fromLocalFile(pipe));
        EXPECT_EVENTUALLY(finished.count() == 1);
        if (!finished.isEmpty()) {
            EXPECT_FALSE(finished.last().at(0).toBool());
        }
        // Let a reader stuck in the pipe go, so that a failure here does not hang the run.
        const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
}

// The pictures of a page are read as the page is: only files, and none larger than a page.
TEST_F(WebBrowserTest, ThePicturesOfAPageAreReadWithinThePagesLimits)
{
    TempWorkspace workspace;
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(workspace.filePath(QStringLiteral("small.png"))));
    {
        QFile large(workspace.filePath(QStringLiteral("large.png")));
        ASSERT_TRUE(large.open(QIODevice::WriteOnly));
        ASSERT_TRUE(large.resize(TextPageView::MaximumPageBytes * 2));
    }
    const QByteArray pipe = QFile::encodeName(workspace.filePath(QStringLiteral("pipe.png")));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    workspace.writeFile(QStringLiteral("home.htm"),
        "<html><body><img src=\"small.png\"><img src=\"large.png\"><img src=\"pipe.png\"></body></html>");

    // Lets a read stuck in the pipe go, so that the test fails instead of hanging.
    std::atomic<bool> done = false;
    std::atomic<bool> stuck = false;
    std::thread release([&] {
        while (!done) {
            const int writer = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) {
                stuck = true;
                ::close(writer);
            }
            QThread::msleep(20);
        }
    });
    auto* view = new TextPageView;
    CWebBrowser2 browser(view, nullptr);
    browser.resize(400, 300);
    QSignalSpy completed(&browser, &CWebBrowser2::DocumentComplete);
    browser.Navigate(QUrl::fromLocalFile(workspace.filePath(QStringLiteral("home.htm"))).toString());
    EXPECT_EVENTUALLY(completed.count() == 1);
    browser.grab(); // the layout reads the pictures
    QTextDocument* page = view->textBrowser()->document();
    const auto picture = [page](const char* name) {
        const QVariant resource
            = page->resource(QTextDocument::ImageResource, QUrl(QString::fromLatin1(name)));
        if (resource.userType() == QMetaType::QPixmap)
            return resource.value<QPixmap>().toImage();
        if (resource.userType() == QMetaType::QImage)
            return resource.value<QImage>();
        return QImage::fromData(resource.toByteArray());
    };
    EXPECT_EQ(picture("small.png").size(), QSize(40, 30));
    EXPECT_LE(
        page->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("large.png"))).toByteArray().size(),
        TextPageView::MaximumPageBytes);
    EXPECT_FALSE(picture("pipe.png").isNull()); // drawn as a missing picture
    done = true;
    release.join();
    EXPECT_FALSE(stuck);
}

TEST_F(WebBrowserTest, TheBrowserOfThisBuildShowsAPageFromTheLoopbackServer)
{
    CWebBrowser2 browser;
    browser.resize(400, 300);
    browser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser));
    QSignalSpy completed(&browser, &CWebBrowser2::DocumentComplete);
    browser.Navigate(m_server.url(QStringLiteral("/first/flash.htm")));
    EXPECT_EVENTUALLY_WITHIN(completed.count() >= 1, 30000);
    EXPECT_TRUE(completed.last().at(1).toBool());
    EXPECT_GE(m_server.requestCount(), 1);
    EXPECT_TRUE(plainText(*browser.pageView()).contains(QStringLiteral("欢迎光临")));
}

// A screen that is still being built starts no page engine: the engine takes longer to
// start than the screen to show. Its browser makes the view once the window has painted
// (the home page of the query screen, kept at no size until it is shown), or when it is
// shown itself, and then shows the page it was sent to.
TEST_F(WebBrowserTest, ABrowserMadeBeforeItsWindowShowsStillShowsItsPage)
{
    for (const QSize size : { QSize(0, 0), QSize(400, 300) }) {
        SCOPED_TRACE(size.width());
        QWidget window;
        window.resize(400, 300);
        auto* browser = new CWebBrowser2(&window);
        browser->setGeometry(QRect(QPoint(0, 0), size));
        QSignalSpy completed(browser, &CWebBrowser2::DocumentComplete);
        const QString address = m_server.url(QStringLiteral("/first/flash.htm"));
        browser->Navigate(address);
        EXPECT_EQ(browser->findChild<PageView*>(), nullptr);
        EXPECT_EQ(browser->LocationURL(), address);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EVENTUALLY_WITHIN(completed.count() >= 1, 30000);
        ASSERT_GE(completed.count(), 1);
        EXPECT_TRUE(completed.last().at(1).toBool());
        EXPECT_EQ(browser->LocationURL(), address);
        EXPECT_TRUE(plainText(*browser->pageView()).contains(QStringLiteral("欢迎光临")));
    }
}

} // namespace

namespace {

// A kiosk's home page keeps to its own site: the same server under another name is elsewhere.
TEST_F(WebBrowserTest, ALockedBrowserRefusesToLeaveTheHomePagesSite)
{
    const QString elsewhere = m_server.url(QStringLiteral("/second.htm")).replace("127.0.0.1", "localhost");
    m_server.setPage("/first/away.htm",
        ("<html><body><a id=\"away\" href=\"" + elsewhere.toUtf8()
            + "\">away</a><script>location.href = document.getElementById('away').href;"
              "setTimeout(function () { location.href = '/second.htm'; }, 300);</script></body></html>"),
        "text/html");
    const QString home = m_server.url(QStringLiteral("/first/away.htm"));
    for (const bool textView : { true, false }) {
        SCOPED_TRACE(textView);
        auto browser = textView ? std::make_unique<CWebBrowser2>(new TextPageView, nullptr)
                                : std::make_unique<CWebBrowser2>();
        browser->lockTo(HomeSiteRule(QUrl(home)));
        browser->resize(400, 300);
        browser->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(browser.get()));
        QSignalSpy completed(browser.get(), &CWebBrowser2::DocumentComplete);
        browser->Navigate(home);
        EXPECT_EVENTUALLY_WITHIN(completed.count() >= 1, 30000);
        if (textView) {
            // The text view runs no script: its links are what a visitor follows.
            auto* view = static_cast<TextPageView*>(browser->pageView());
            emit view->textBrowser()->anchorClicked(QUrl(elsewhere));
            emit view->textBrowser()->anchorClicked(QUrl(QStringLiteral("/second.htm")));
        }
        EXPECT_EVENTUALLY_WITHIN(browser->LocationURL().endsWith("/second.htm"), 30000);
        EXPECT_EQ(
            browser->LocationURL().toStdString(), m_server.url(QStringLiteral("/second.htm")).toStdString());
    }
}

} // namespace

namespace {

// A file field on a locked home page opens no file dialog: a visitor could rename or delete
// the station's files in it. Unlocked, the same tap opens one, so the tap is known to land.
TEST_F(WebBrowserTest, ALockedBrowsersFileFieldOpensNoFileDialog)
{
    if (!PageViewFactory::usesWebEngine())
        GTEST_SKIP() << "the text view has no file fields";
    m_server.setPage("/first/upload.htm",
        "<html><body style=\"margin:0\"><input type=\"file\" "
        "style=\"position:absolute;left:0;top:0;width:400px;height:300px\"></body></html>",
        "text/html");
    const QString home = m_server.url(QStringLiteral("/first/upload.htm"));
    for (const bool locked : { false, true }) {
        SCOPED_TRACE(locked);
        CWebBrowser2 browser;
        if (locked)
            browser.lockTo(HomeSiteRule(QUrl(home)));
        browser.resize(400, 300);
        browser.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser));
        QSignalSpy completed(&browser, &CWebBrowser2::DocumentComplete);
        browser.Navigate(home);
        EXPECT_EVENTUALLY_WITHIN(completed.count() >= 1, 30000);
        bool dialogSeen = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != &browser) {
                dialogSeen = true;
                modal->close();
            }
        });
        watch.start(50);
        QWidget* content = browser.childAt(200, 150);
        ASSERT_NE(content, nullptr);
        for (int attempt = 0; attempt < 10 && !dialogSeen; ++attempt) {
            QTest::mouseClick(content, Qt::LeftButton, {}, QPoint(200, 150));
            QTest::qWait(300);
        }
        EXPECT_EQ(dialogSeen, !locked);
    }
}

} // namespace
