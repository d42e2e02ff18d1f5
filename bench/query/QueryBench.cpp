// Times the query screen on the embedded server, each figure against plain SQLite doing the
// same reads on the same file, p50 and p95 over every value of the first level:
//   - one drill-down step: a press of a value button until the new page is painted (the
//     value-button statement, the record statement and the first page, offscreen);
//   - one filter-list fill (the distinct values of a column);
//   - painting one result page, and one picture view (a 1600 x 1200 JPEG decoded and drawn).
//
//   glimora_query_bench [demo] [rows...]        (default: demo 100000 1000000)
//   glimora_query_bench --window [demo] [rows...]   (default: demo)
// --window runs the real window on the display of $DISPLAY (Xvfb at 1280 x 1024) and times a
// tap (press and release) on a value button until the window's next frame is painted.
#include "backoffice/LoginStatements.h"
#include "bench/support/DirectFill.h"
#include "components/ComponentFactories.h"
#include "components/CWebBrowser2.h"
#include "components/TextPageView.h"
#include "data/BackendRouter.h"
#include "data/SharedDatabase.h"
#include "engine/server/EmbeddedBackend.h"
#include "engine/values/SqlFunctions.h"
#include "query/QueryDialog.h"
#include "query/RecordPicture.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"
#include "ui/TemplateDialog.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace glimora;
using query::ValueChoices;

namespace {

const QString Demo = QStringLiteral(GLIMORA_SOURCE_DIR "/demo/");
bool windowMode = false;

// Times from a tap to the end of the top-level window's next paint: the filter paints the
// frame itself so that the time includes it.
class FramePainted : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::UpdateRequest || !watched->isWidgetType()
            || !static_cast<QWidget*>(watched)->isWindow())
            return false;
        watched->removeEventFilter(this);
        static_cast<QObject*>(watched)->event(event);
        painted = true;
        return true;
    }
};

void tap(QWidget* button)
{
    const QPointF at(button->width() / 2.0, button->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
        Qt::NoModifier);
    QApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, button->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
        Qt::NoModifier);
    QApplication::sendEvent(button, &release);
}

// Lets the window settle: every pending event and paint done.
void settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

const char* const Select = "d1,d2,d3,d4,d5,d26,d7,d6,d16,d8,d51";

struct Spread
{
    double p50 = 0;
    double p95 = 0;
};

Spread spread(QList<double> samples)
{
    std::sort(samples.begin(), samples.end());
    if (samples.isEmpty())
        return {};
    const auto at = [&](double q) {
        return samples[qMin(samples.size() - 1, qsizetype(q * (samples.size() - 1) + 0.5))];
    };
    return { at(0.5), at(0.95) };
}

double milliseconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Plain SQLite: prepares, steps and reads up to `limit` rows (every row when negative).
void sqliteRead(sqlite3* db, const QString& sql, int limit = -1)
{
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr);
    int rows = 0;
    while ((limit < 0 || rows < limit) && sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
            if (sqlite3_column_type(statement, c) == SQLITE_BLOB)
                sqlite3_column_blob(statement, c);
            else
                sqlite3_column_text(statement, c);
        }
        ++rows;
    }
    sqlite3_finalize(statement);
}

QByteArray photograph()
{
    QImage image(1600, 1200, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 1600, 1200);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::yellow);
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 200; ++i)
        painter.fillRect(
            QRect((i * 97) % 1500, (i * 61) % 1100, 100, 100), QColor::fromHsv(i % 360, 200, 220));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

// Rows like the demo's: 20 categories, 12 forms each, names, makers, prices, dates; a
// picture on the first thousand rows, so that the first record of every category has one.
void fill(const QString& path, int rows)
{
    bench::DirectFill fill(
        path, "INSERT INTO inquiry(d1,d2,d3,d4,d5,d6,d7,d8,d16,d26,d51) VALUES(?,?,?,?,?,?,?,?,?,?,?)");
    QRandomGenerator random(7);
    const QByteArray picture = photograph();
    for (int i = 0; i < rows; ++i) {
        const QByteArray texts[] = { QStringLiteral("类别%1").arg(random.bounded(20)).toUtf8(),
            QStringLiteral("剂型%1").arg(random.bounded(12)).toUtf8(),
            QStringLiteral("药品名称%1").arg(i).toUtf8(), QByteArray("0.25g×24粒"), QByteArray("盒"),
            QStringLiteral("制药厂%1").arg(random.bounded(300)).toUtf8(), QByteArray("甲类"),
            QByteArray::number(100000 + i) };
        for (int c = 0; c < 8; ++c)
            fill.text(c + 1, texts[c]);
        fill.text(
            9, QDate(2012, 1, 1).addDays(random.bounded(2000)).toString("yyyy-MM-dd 00:00:00.000").toUtf8());
        fill.number(10, random.bounded(100000) / 100.0);
        if (i < 1000)
            fill.blob(11, picture);
        else
            fill.null(11);
        fill.insertRow();
    }
}

void report(const char* what, const Spread& station, const Spread& baseline,
    const char* baselineName = "plain SQLite")
{
    std::printf("  %-34s p50 %8.2f ms  p95 %8.2f ms   %s p50 %8.2f  p95 %8.2f   ratio p50 %6.2f\n", what,
        station.p50, station.p95, baselineName, baseline.p50, baseline.p95,
        baseline.p50 > 0 ? station.p50 / baseline.p50 : 0.0);
}

void run(int rows)
{
    QTemporaryDir directory;
    QDir::setCurrent(directory.path());
    QFile settings(Demo + "uinfo.ini");
    settings.copy(directory.filePath("uinfo.ini"));
    QFile::setPermissions(directory.filePath("uinfo.ini"), QFile::ReadOwner | QFile::WriteOwner);
    settings::setSettingsDirectory(directory.path());
    settings::Settings::instance().load();
    // Buttons are found by their values; the counts have a bench of their own.
    settings::WriteSetting(QStringLiteral("show"), QStringLiteral("counts"), QStringLiteral("0"));

    auto backend = std::make_shared<engine::EmbeddedBackend>(directory.filePath("sqldata"));
    data::BackendRouter::setEmbeddedBackend(backend);
    {
        auto session = backend->open(QStringLiteral("Server=(LOCAL);Database=;Uid=sa;pwd=bench"), 0);
        session->execute(backoffice::LoginStatements::createDatabase("nivo"), 0);
        session->execute(backoffice::LoginStatements::createTables("nivo", Demo + "Contrast.XLS"), 0);
        if (rows == 0) {
            QString import = QStringLiteral("use nivo insert inquiry")
                + settings::ReadSetting(QStringLiteral("insert"), QStringLiteral("inserttext"), QString());
            import.replace(QStringLiteral("?%"), Demo + "records.xls");
            session->execute(import, 0);
            session->execute(QStringLiteral("use nivo update inquiry set d51=0x")
                    + QString::fromLatin1(photograph().toHex()) + QStringLiteral(" where d60 % 3 = 1"),
                0);
        }
    }
    const QString file = directory.filePath("sqldata/nivo.sqlite");
    if (rows > 0)
        fill(file, rows);

    data::SharedDatabase::createObjects();
    data::LoginValues& login = data::SharedDatabase::login();
    login.serverName = QStringLiteral("(LOCAL)");
    login.userName = QStringLiteral("sa");
    login.password = QStringLiteral("bench");
    ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);

    sqlite3* plain = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &plain);
    engine::SqlFunctions::install(plain);

    std::printf("\n%s: the query screen on the embedded server (%s)\n",
        rows == 0 ? "demo data (480 records)" : QByteArray::number(rows).append(" rows").constData(),
        windowMode ? "1280 x 1024, a window on $DISPLAY" : "1024 x 768, offscreen");
    QElapsedTimer opening;
    opening.start();
    query::QueryDialog dialog;
    dialog.setWindowState(Qt::WindowNoState);
    if (windowMode) {
        dialog.setGeometry(0, 0, 1280, 1024);
        dialog.show();
        settle();
    } else {
        dialog.resize(1024, 768);
        dialog.grab();
    }
    std::printf("  screen opened and first page painted in %.0f ms\n", double(opening.nsecsElapsed()) / 1e6);
    if (!dialog.isReady())
        return;

    const QStringList firstLevel = dialog.valueChoices().values();
    QList<double> step, stepBase, page, pageBase, list, listBase, pictures, picturesBase;
    for (const QString& value : firstLevel) {
        // The button of this value: turn the pages of the value buttons until it shows. All
        // 20 buttons hold values unless the level is paged, when the last one turns the page.
        const ValueChoices& choices = dialog.valueChoices();
        const QList<int> visible = query::QueryDialog::valueButtonIds().mid(0, ValueChoices::VisibleButtons);
        int id = 0;
        for (int turn = 0; turn < choices.pageCount() && id == 0; ++turn) {
            for (int slot = 1; slot <= ValueChoices::VisibleButtons && id == 0; ++slot) {
                if (!choices.isMoreButton(slot) && dialog.skinButton(visible[slot - 1])->caption() == value)
                    id = visible[slot - 1];
            }
            if (id == 0 && choices.isPaged())
                dialog.skinButton(visible.last())->click();
        }
        if (id == 0) {
            std::fprintf(stderr, "  no button shows the value %s\n", qPrintable(value));
            continue;
        }
        if (windowMode) {
            settle();
            FramePainted frame;
            dialog.window()->installEventFilter(&frame);
            step << milliseconds([&] {
                tap(dialog.skinButton(id));
                while (!frame.painted)
                    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            });
            dialog.window()->removeEventFilter(&frame);
        } else {
            step << milliseconds([&] {
                dialog.skinButton(id)->click();
                dialog.grab();
            });
        }
        const QString where = " d1='" + value + "'";
        stepBase << milliseconds([&] {
            sqliteRead(plain, "select distinct d2 from inquiry where " + where + " order by d2");
            sqliteRead(plain, QStringLiteral("select %1 from inquiry where %2").arg(Select, where),
                dialog.pageStep());
        });
        page << milliseconds([&] { dialog.grab(); });
        pageBase << milliseconds([&] {
            sqliteRead(plain, QStringLiteral("select %1 from inquiry where %2").arg(Select, where),
                dialog.pageStep());
        });

        pictures << milliseconds([&] {
            dialog.ShowRecordPicture();
            dialog.grab();
        });
        picturesBase << milliseconds(
            [&] { sqliteRead(plain, QStringLiteral("select d51 from inquiry where %1").arg(where), 1); });
        // Back to the data view and the top list.
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1),
            dialog.control(1145)->mapToGlobal(QPointF(1, 1)), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.control(1145), &press);
        dialog.skinButton(1057)->click();

        list << milliseconds([&] { dialog.FillFilterList(QStringLiteral("d6"), 1062); });
        listBase << milliseconds([&] { sqliteRead(plain, "select distinct d6 from inquiry  order by d6"); });
    }
    report("value button to new page painted", spread(step), spread(stepBase));
    report("result page painted", spread(page), spread(pageBase));
    report("picture view (1600x1200 JPEG)", spread(pictures), spread(picturesBase));
    report("filter list filled (d6)", spread(list), spread(listBase));
    std::printf(
        "  (%lld first-level values; plain SQLite reads the same rows: the level's values and one page)\n",
        static_cast<long long>(firstLevel.size()));
    sqlite3_close(plain);
    data::SharedDatabase::releaseObjects();
    data::BackendRouter::setEmbeddedBackend(nullptr);
}

// A camera's photograph (6000 x 4000) stored as a record's picture: decoded straight at the
// picture box's size, against decoding it whole.
void largePicture()
{
    QImage image(6000, 4000, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int i = 0; i < 400; ++i)
        painter.fillRect(
            QRect((i * 397) % 5800, (i * 211) % 3800, 200, 200), QColor::fromHsv(i % 360, 180, 200));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    QList<double> boxed, whole;
    for (int i = 0; i < 5; ++i) {
        boxed << milliseconds([&] { query::RecordPicture::decode(bytes, QSize(720, 540)); });
        whole << milliseconds([&] { QImage::fromData(bytes); });
    }
    std::printf(
        "\nA 6000 x 4000 JPEG (%lld bytes) for the picture view\n", static_cast<long long>(bytes.size()));
    report("decoded at the box size (720x540)", spread(boxed), spread(whole), "whole image");
}

} // namespace

int main(int argc, char** argv)
{
    windowMode = argc > 1 && QByteArray(argv[1]) == "--window";
    if (!windowMode)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    components::ComponentFactories::install();
    // The home page in the text view: the browser engine would need its sandbox switched off
    // to run as root, and it paints nothing offscreen anyway.
    ui::TemplateDialog::setComponentFactory(
        res::ControlKind::WebBrowser, [](const res::ControlTemplate&, QWidget* parent) {
            return static_cast<QWidget*>(new components::CWebBrowser2(new components::TextPageView, parent));
        });
    ui::createSharedFonts();
    QList<int> sizes;
    for (int i = windowMode ? 2 : 1; i < argc; ++i)
        sizes << (QByteArray(argv[i]) == "demo" ? 0 : QByteArray(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = windowMode ? QList<int> { 0 } : QList<int> { 0, 100000, 1000000 };
    if (!windowMode)
        largePicture();
    for (const int rows : sizes)
        run(rows);
    return 0;
}
