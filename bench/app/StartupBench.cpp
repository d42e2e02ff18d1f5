// How long a station takes to start, each start a fresh process on the demo data:
//   - from process start to the login dialog shown, against a bare Qt program showing an
//     empty dialog;
//   - from the press of the login button to the query screen's first result page painted,
//     against plain SQLite opening the database file and reading that page.
//
//   glimora_startup_bench [runs=7]
//
// The station runs are this program started again (--login, --query, --bare).
#include "app/DefaultScreenFactory.h"
#include "app/QueryApp.h"
#include "backoffice/LoginDialog.h"
#include "components/ComponentFactories.h"
#include "components/PageViewFactory.h"
#include "engine/server/EmbeddedServerSetup.h"
#include "platform/IdleClock.h"
#include "query/QueryDialog.h"
#include "settings/Settings.h"
#include "ui/SkinButton.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace glimora;

namespace {

const QString Demo = QStringLiteral(GLIMORA_SOURCE_DIR "/demo/");
const QString DemoPassword = QStringLiteral("glimora-demo");

// Nanoseconds on the clock that every process of this machine shares.
qint64 monotonicNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void printMark(const char* name)
{
    std::printf("%s %lld\n", name, static_cast<long long>(monotonicNow()));
    std::fflush(stdout);
}

// Marks the first paint of a widget once it is shown, then ends the event loop.
class FirstPaint : public QObject
{
public:
    FirstPaint(const char* mark, QDialog& dialog)
        : m_mark(mark)
        , m_dialog(dialog)
    {
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_dialog && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // After this paint has run: the page is on the screen then.
            QTimer::singleShot(0, &m_dialog, [this] {
                printMark(m_mark);
                m_dialog.reject();
            });
        }
        return false;
    }

private:
    const char* m_mark;
    QDialog& m_dialog;
    bool m_seen = false;
};

// The station's own screens; the login dialog shown is marked and closed, or filled in and
// confirmed, and the query screen's first paint is marked.
class MeasuredScreens : public app::DefaultScreenFactory
{
public:
    explicit MeasuredScreens(bool logIn)
        : m_logIn(logIn)
    {
    }

    std::unique_ptr<QDialog> createLoginDialog() override
    {
        auto login = std::make_unique<backoffice::LoginDialog>();
        auto* dialog = login.get();
        QTimer::singleShot(0, dialog, [this, dialog] {
            if (!m_logIn) {
                printMark("login-shown");
                dialog->reject();
                return;
            }
            dialog->control<QComboBox>(1001)->setEditText(QStringLiteral("sa"));
            dialog->control<QLineEdit>(1002)->setText(DemoPassword);
            printMark("login-pressed");
            dialog->skinButton(1)->click();
        });
        return login;
    }

    std::unique_ptr<QDialog> createQueryDialog() override
    {
        printMark("login-done");
        auto screen = DefaultScreenFactory::createQueryDialog();
        printMark("screen-built");
        m_firstPaint = std::make_unique<FirstPaint>("page-painted", *screen);
        return screen;
    }

private:
    bool m_logIn;
    std::unique_ptr<FirstPaint> m_firstPaint;
};

// What the station's main() does, with measured screens.
int runStation(int argc, char** argv, bool logIn)
{
    components::PageViewFactory::prepareApplication();
    QApplication application(argc, argv);
    components::ComponentFactories::install();
    QApplication::setApplicationName(QStringLiteral("glimora"));
    platform::IdleClock::current();
    engine::registerEmbeddedServer();
    MeasuredScreens screens(logIn);
    app::QueryApp queryApp(screens);
    queryApp.InitInstance();
    return 0;
}

int runBare(int argc, char** argv)
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.resize(400, 300);
    QTimer::singleShot(0, &dialog, [&dialog] {
        printMark("login-shown");
        dialog.reject();
    });
    dialog.exec();
    return 0;
}

// ---- the parent ---------------------------------------------------------------------------

// Starts this program in `role` and returns the marks it printed, in ms after `from`
// (the moment before the start when `from` is 0).
QMap<QString, double> runChild(const QString& program, const QString& role, const QString& directory)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    const qint64 started = monotonicNow();
    process.start(program, { role });
    process.waitForFinished(120000);
    QMap<QString, double> marks;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            marks.insert(QString::fromLatin1(parts[0]), double(parts[1].toLongLong() - started) / 1e6);
    }
    return marks;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double plainFirstPage(const QString& file, int rows)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "select d1,d2,d3,d4,d5,d26,d7,d6,d16,d8 from inquiry", -1, &statement, nullptr);
    for (int row = 0; row < rows && sqlite3_step(statement) == SQLITE_ROW; ++row) {
        for (int c = 0; c < sqlite3_column_count(statement); ++c)
            sqlite3_column_text(statement, c);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return double(timer.nsecsElapsed()) / 1e6;
}

int runParent(const QString& program, int runs)
{
    QTemporaryDir directory;
    for (const QString& name : QDir(Demo).entryList(QDir::Files))
        QFile::copy(Demo + name, directory.filePath(name));
    QFile::setPermissions(
        directory.filePath(QStringLiteral("uinfo.ini")), QFile::ReadOwner | QFile::WriteOwner);
    QProcess setup;
    setup.setWorkingDirectory(directory.path());
    setup.setProcessChannelMode(QProcess::ForwardedChannels);
    setup.start(QStringLiteral(GLIMORA_DEMO_SETUP), { DemoPassword, QStringLiteral("records.xls") });
    if (!setup.waitForFinished(300000) || setup.exitCode() != 0) {
        std::fprintf(stderr, "the demo server could not be prepared\n");
        return 1;
    }

    QList<double> login, bare, page, plain, loggingIn, building;
    for (int i = 0; i < runs; ++i) {
        login << runChild(program, QStringLiteral("--login"), directory.path()).value("login-shown");
        bare << runChild(program, QStringLiteral("--bare"), directory.path()).value("login-shown");
        const QMap<QString, double> marks = runChild(program, QStringLiteral("--query"), directory.path());
        if (marks.contains("login-pressed") && marks.contains("page-painted")) {
            page << marks.value("page-painted") - marks.value("login-pressed");
            loggingIn << marks.value("login-done") - marks.value("login-pressed");
            building << marks.value("screen-built") - marks.value("login-done");
        }
        plain << plainFirstPage(directory.filePath(QStringLiteral("sqldata/nivo.sqlite")), 20);
    }
    if (page.isEmpty()) {
        std::fprintf(stderr, "the query screen never painted: the demo login failed\n");
        return 1;
    }
    std::printf("Start-up on the demo data, median of %d fresh processes (offscreen)\n", runs);
    std::printf("  process start to login dialog shown   %8.1f ms   bare Qt dialog %8.1f ms   ratio %5.2f\n",
        median(login), median(bare), median(login) / median(bare));
    std::printf(
        "  login pressed to first page painted   %8.1f ms   plain SQLite page %6.2f ms   ratio %5.1f\n",
        median(page), median(plain), median(page) / median(plain));
    std::printf("    of which: the login %.1f ms, building the query screen %.1f ms, showing and painting it "
                "%.1f ms\n",
        median(loggingIn), median(building), median(page) - median(loggingIn) - median(building));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray role = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (role == "--login" || role == "--query")
        return runStation(argc, argv, role == "--query");
    if (role == "--bare")
        return runBare(argc, argv);
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 7;
    return runParent(application.applicationFilePath(), qMax(1, runs));
}
