#include "app/KioskCredentials.h"
#include "app/KioskLogin.h"
#include "app/KioskLoginScreen.h"
#include "data/Backend.h"
#include "data/BackendRouter.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "engine/server/EmbeddedBackend.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "tests/support/TempWorkspace.h"
#include "tests/support/WaitFor.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>

using namespace glimora;
using namespace glimora::app;

namespace {

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

// A station in the test's own folder, its embedded server there, and no service manager.
class KioskStartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qunsetenv("CREDENTIALS_DIRECTORY");
        qunsetenv("GLIMORA_CREDENTIAL_SOURCE");
        workspace.writeFile("uinfo.ini", "[system]\ndatabase=station\n");
        workspace.seedFromTestData("workbooks/contrast.xls", "Contrast.XLS");
        settings::Settings::instance().load();
        backend = std::make_shared<engine::EmbeddedBackend>(workspace.filePath("sqldata"));
        data::BackendRouter::setEmbeddedBackend(backend);
    }
    void TearDown() override
    {
        qunsetenv("CREDENTIALS_DIRECTORY");
        qunsetenv("GLIMORA_CREDENTIAL_SOURCE");
        data::SharedDatabase::releaseObjects();
        data::BackendRouter::setEmbeddedBackend(nullptr);
        settings::setSettingsDirectory(QString());
    }

    void writeCredentials(const QByteArray& text, mode_t mode = 0600, const QString& path = {})
    {
        const QString file = path.isEmpty() ? credentialsFile() : path;
        QFile::remove(file);
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        out.close();
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), mode), 0);
    }
    QString credentialsFile() const { return workspace.filePath("login.credentials"); }

    static QString problemOf(const KioskLoginScreen& screen)
    {
        return screen.findChild<QLabel*>("kioskProblem")->text();
    }

    TempWorkspace workspace;
    std::shared_ptr<engine::EmbeddedBackend> backend;
};

// What 30 seconds of waiting end in: a retry, on the screen's worker.
void fire(KioskLoginScreen& screen)
{
    ASSERT_TRUE(screen.retryTimer().isActive());
    QMetaObject::invokeMethod(&screen.retryTimer(), "timeout", Qt::DirectConnection);
    EXPECT_TRUE(screen.retrying());
    EXPECT_EVENTUALLY(!screen.retrying());
}

// A server that is not running: every login is refused at the door.
class StoppedServer : public data::Backend
{
public:
    std::unique_ptr<data::BackendSession> open(const QString&, int) override
    {
        throw data::DbError(data::DbError::ProviderFailure,
            QStringLiteral("TCP Provider: No connection could be made because the target machine actively "
                           "refused it."),
            10061, 20, 0);
    }
};

const QByteArray Good = "# the lobby\nserver = localhost\nuser=sa\npassword=Kiosk-Pass\n";

} // namespace

TEST_F(KioskStartTest, AMissingCredentialIsNamedAndTheRetryLogsInOnceItIsThere)
{
    KioskLoginScreen screen(kioskLogIn);
    EXPECT_FALSE(screen.tryLogIn());
    EXPECT_EQ(screen.findChild<QLabel*>("kioskTitle")->text(), utf8("本机暂时无法自动登录"));
    EXPECT_EQ(problemOf(screen), utf8("找不到登录凭据文件 %1。").arg(credentialsFile()));
    EXPECT_EQ(screen.findChild<QLabel*>("kioskRetry")->text(), utf8("每 30 秒自动重试一次。"));
    EXPECT_TRUE(screen.retryTimer().isActive());
    EXPECT_EQ(screen.retryTimer().interval(), 30'000);
    EXPECT_TRUE(screen.windowState() & Qt::WindowFullScreen);
    EXPECT_EQ(screen.geometry(), QGuiApplication::primaryScreen()->geometry());

    // Still missing at the first retry: the screen stays and waits again.
    fire(screen);
    EXPECT_TRUE(screen.retryTimer().isActive());
    EXPECT_NE(screen.result(), QDialog::Accepted);

    writeCredentials(Good);
    fire(screen);
    EXPECT_EQ(screen.result(), QDialog::Accepted);
    EXPECT_FALSE(screen.retryTimer().isActive());
    EXPECT_EQ(data::SharedDatabase::login().serverName, "LOCALHOST");
    EXPECT_EQ(data::SharedDatabase::connection().State(), data::Connection::StateOpen);
}

TEST_F(KioskStartTest, TheStationsFileMustBePrivateToItsUser)
{
    for (const mode_t mode : { 0644, 0640, 0604, 0620 }) {
        writeCredentials(Good, mode);
        EXPECT_EQ(kioskLogIn(),
            utf8("登录凭据文件 %1 不受保护（属于 %2，权限 0%3）：它必须属于 %2，权限为 0600 或 0400。")
                .arg(credentialsFile(), QFileInfo(credentialsFile()).owner(), QString::number(mode, 8)))
            << std::oct << mode;
    }
    for (const mode_t mode : { 0600, 0400 }) {
        writeCredentials(Good, mode);
        EXPECT_EQ(kioskLogIn(), QString()) << std::oct << mode;
    }
}

TEST_F(KioskStartTest, AnUnreadableOrIncompleteCredentialNeverLogsIn)
{
    QDir().mkpath(credentialsFile());
    EXPECT_TRUE(kioskLogIn().startsWith(utf8("无法读取登录凭据文件 %1：").arg(credentialsFile())));
    QDir().rmdir(credentialsFile());

    const struct
    {
        QByteArray text;
        QString problem;
    } cases[] = {
        { " \n\n", utf8("登录凭据文件 %1 不存在或是空的。") },
        { "# server=localhost\n", utf8("登录凭据文件 %1 不存在或是空的。") },
        { "server=localhost\nuser=sa\n", utf8("登录凭据文件 %1 缺少 password= 一行，或其值为空。") },
        { "server=localhost\nuser=sa\npassword=   \r\n",
            utf8("登录凭据文件 %1 缺少 password= 一行，或其值为空。") },
        { "server=localhost\n=sa\npassword=x\n", utf8("登录凭据文件 %1 缺少 user= 一行，或其值为空。") },
    };
    for (const auto& entry : cases) {
        writeCredentials(entry.text);
        EXPECT_EQ(kioskLogIn(), entry.problem.arg(credentialsFile())) << entry.text.constData();
    }
    // Nothing reached the server: a first login would have made its folder.
    EXPECT_FALSE(QDir(workspace.filePath("sqldata")).exists());
}

TEST_F(KioskStartTest, AWrongPasswordShowsWhatTheServerSaid)
{
    // The first login of a fresh embedded server gives sa its password.
    writeCredentials(Good);
    ASSERT_EQ(kioskLogIn(), QString());
    const QByteArray before = workspace.readFile("uinfo.ini");

    writeCredentials("server=localhost\r\nuser=sa\r\npassword=wrong\r\n");
    const QString problem = kioskLogIn();
    EXPECT_TRUE(
        problem.startsWith(utf8("以登录凭据文件 %1 中的用户 sa 登录服务器 LOCALHOST 失败。服务器的回答：")
                               .arg(credentialsFile())))
        << problem.toStdString();
    EXPECT_TRUE(problem.contains("Login failed for user 'sa'.")) << problem.toStdString();
    EXPECT_FALSE(problem.contains("wrong"));
    // A kiosk login writes nothing to uinfo.ini.
    EXPECT_EQ(workspace.readFile("uinfo.ini"), before);
}

TEST_F(KioskStartTest, TheServiceManagersCredentialComesFirstAndIsTheOnlyOneThen)
{
    QTemporaryDir credentials;
    qputenv("CREDENTIALS_DIRECTORY", QFile::encodeName(credentials.path()));
    writeCredentials(Good);
    const QString copy = credentials.filePath("glimora-login");
    EXPECT_EQ(kioskLogIn(), utf8("找不到登录凭据文件 %1。").arg(copy));

    // The unit loads a comment when its file is missing, and names that file.
    writeCredentials("# none", 0400, copy);
    qputenv("GLIMORA_CREDENTIAL_SOURCE", "/etc/glimora/lobby.login");
    EXPECT_EQ(kioskLogIn(), utf8("登录凭据文件 /etc/glimora/lobby.login 不存在或是空的。"));

    // The manager's copy is its own to protect: its mode is not the station's concern.
    writeCredentials(Good, 0644, copy);
    EXPECT_EQ(kioskLogIn(), QString());
}

TEST_F(KioskStartTest, AServerDownAtStartIsShownWithItsWordsUntilARetryFindsItUp)
{
    writeCredentials(Good);
    data::BackendRouter::setEmbeddedBackend(std::make_shared<StoppedServer>());
    KioskLoginScreen screen(kioskLogIn);
    EXPECT_FALSE(screen.tryLogIn());
    EXPECT_EQ(problemOf(screen),
        utf8("以登录凭据文件 %1 中的用户 sa 登录服务器 LOCALHOST 失败。服务器的回答：").arg(credentialsFile())
            + "TCP Provider: No connection could be made because the target machine actively refused it.");
    fire(screen);
    EXPECT_NE(screen.result(), QDialog::Accepted);

    data::BackendRouter::setEmbeddedBackend(backend);
    fire(screen);
    EXPECT_EQ(screen.result(), QDialog::Accepted);
    EXPECT_EQ(data::SharedDatabase::connection().State(), data::Connection::StateOpen);
}

// A server that does not answer keeps the first try waiting as long as its time-out; after
// the back office the watchdog's pings are under way, and must go on meanwhile.
TEST_F(KioskStartTest, TheFirstTryWaitsOnAWorkerNotOnTheScreensThread)
{
    class SlowServer : public StoppedServer
    {
    public:
        std::unique_ptr<data::BackendSession> open(const QString& text, int timeout) override
        {
            QThread::msleep(600);
            return StoppedServer::open(text, timeout);
        }
    };
    writeCredentials(Good);
    data::BackendRouter::setEmbeddedBackend(std::make_shared<SlowServer>());
    KioskLoginScreen screen(kioskLogIn);
    int pings = 0;
    QTimer ping;
    QObject::connect(&ping, &QTimer::timeout, [&pings] { ++pings; });
    ping.start(50);
    EXPECT_FALSE(screen.tryLogIn());
    EXPECT_GE(pings, 5);
    EXPECT_FALSE(screen.retrying());
    EXPECT_TRUE(screen.retryTimer().isActive());
    EXPECT_TRUE(problemOf(screen).contains("target machine actively refused it"))
        << problemOf(screen).toStdString();
}
