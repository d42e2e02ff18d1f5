#include "data/Recordset.h"
#include "data/SharedDatabase.h"
#include "query/FieldCatalogue.h"
#include "query/LinkTemplate.h"
#include "query/PrintLayout.h"
#include "query/QrCode.h"
#include "query/QueryDialog.h"
#include "query/SearchIndex.h"
#include "query/SlipOutput.h"
#include "settings/PrintSetting.h"
#include "settings/SettingsFile.h"
#include "tests/query/QueryStation.h"
#include "tests/support/TempWorkspace.h"
#include "tests/support/WaitFor.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <sys/resource.h>

using namespace glimora;
using query::FieldCatalogue;
using query::LinkTemplate;
using query::PrintLayout;
using query::PrintSlip;
using query::QrCode;
using query::QueryDialog;
using query::SlipOutput;
using Paper = settings::PrintSetting::Paper;

namespace {

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

// The output of one of poppler's or zbar's tools, which the install script provides.
QString run(const QString& program, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        ADD_FAILURE() << program.toStdString() << " is missing: run scripts/install-deps";
        return QString();
    }
    QProcess process;
    process.start(path, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString withoutBlanks(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

int pdfPages(const QString& pdf)
{
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run("pdfinfo", { pdf }));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// The text of each page, in the order it was painted.
QStringList pdfPageTexts(const QString& pdf)
{
    QStringList pages = run("pdftotext", { "-raw", "-enc", "UTF-8", pdf, "-" }).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The QR codes zbar reads on the first page; a person looking at the slips finds its pictures
// in the folder named by GLIMORA_SLIP_PICTURES.
QString firstPageCode(const QString& pdf)
{
    const QString stem = pdf.chopped(4);
    run("pdftoppm", { "-r", "150", "-png", "-f", "1", "-l", "1", "-singlefile", pdf, stem });
    if (const QString keep = qEnvironmentVariable("GLIMORA_SLIP_PICTURES"); !keep.isEmpty())
        QFile::copy(stem + ".png", QDir(keep).filePath(QFileInfo(stem).fileName() + ".png"));
    return run("zbarimg", { "--raw", "-q", stem + ".png" }).trimmed();
}

QString decoded(const QImage& image)
{
    TempWorkspace workspace;
    image.save(workspace.filePath("code.png"));
    return run("zbarimg", { "--raw", "-q", workspace.filePath("code.png") }).trimmed();
}

const char* const LongMaker = "四川省成都市高新技术产业开发区天府软件园科伦药业股份有限公司第二制剂分厂";

PrintSlip slipOf(int records)
{
    PrintSlip slip;
    slip.title = utf8("药品及医疗服务价格公示");
    slip.company = utf8("晴川市第一人民医院");
    slip.summary = utf8("当前位置： 西药  胶囊剂");
    slip.captions = QStringList { utf8("名称"), utf8("规格"), utf8("单价（元）"), utf8("厂家或科室"),
        utf8("项目编码") };
    slip.widths = { 160, 120, 70, 180, 80 };
    for (int n = 1; n <= records; ++n) {
        slip.records << QStringList { utf8("阿莫西林胶囊"), utf8("0.25g×24粒"),
            QString::number(9 + n * 0.01, 'f', 2), n == 2 ? utf8(LongMaker) : utf8("石家庄四药有限公司"),
            QStringLiteral("01%1").arg(n, 5, 10, QLatin1Char('0')) };
    }
    slip.link = QStringLiteral("https://intranet.example/item?code=0100001");
    slip.printedAt = QDateTime(QDate(2026, 12, 9), QTime(14, 30, 5));
    return slip;
}

} // namespace

TEST(LinkTemplate, IsRefusedUnlessItNamesCataloguedColumnsAndEncodesTheValues)
{
    FieldCatalogue catalogue;
    catalogue.append({ utf8("项目编码"), "d8", 80 });
    catalogue.append({ utf8("编号"), "d60", 40 });
    for (const char* good : { "", "https://intranet.example/item?id={d60}", "{d8}-{d60}", "no placeholder" })
        EXPECT_EQ(query::validateLinkTemplate(utf8(good), catalogue), "") << good;
    const std::pair<const char*, const char*> refused[] = {
        { "https://intranet.example/item?id={d99}", "链接模板中的 {d99} 不是字段目录中的列。" },
        { "https://intranet.example/item?id={}", "链接模板中的 {} 不是字段目录中的列。" },
        { "https://intranet.example/item?id={d8 or 1=1}", "链接模板中的 {d8 or 1=1} 不是字段目录中的列。" },
        { "https://intranet.example/item?id={d8", "链接模板的花括号不成对。" },
        { "https://intranet.example/item?id=d8}", "链接模板的花括号不成对。" },
        { "{a{d8}}", "链接模板的花括号不成对。" },
    };
    for (const auto& [text, message] : refused)
        EXPECT_EQ(query::validateLinkTemplate(utf8(text), catalogue), utf8(message)) << text;

    const LinkTemplate link(QStringLiteral("https://intranet.example/item?id={d60}&code={d8}#top"));
    EXPECT_EQ(link.columns(), (QStringList { "d60", "d8" }));
    // A value cannot add a parameter or an anchor of its own.
    const QHash<QString, QString> values { { "d60", "12&x=1" }, { "d8", utf8("阿 #") } };
    EXPECT_EQ(link.expand([&](const QString& column) { return values.value(column); }),
        "https://intranet.example/item?id=12%26x%3D1&code=%E9%98%BF%20%23#top");
    EXPECT_EQ(
        link.expand([](const QString& column) { return column == "d8" ? QString("1") : QString(); }), "");
    EXPECT_EQ(LinkTemplate("{d8").expand([](const QString&) { return QString("1"); }), "");
}

TEST(QrCode, ReadsBackAsTheExactLinkAndRefusesWhatNoCodeHolds)
{
    const QByteArray link = "https://intranet.example/item?code=0100001&n=%E9%98%BF";
    const QrCode code = QrCode::encode(link);
    ASSERT_FALSE(code.isNull());
    // The quiet zone is light all round.
    for (int i = 0; i < code.size(); ++i)
        EXPECT_FALSE(code.isDark(i, 0) || code.isDark(0, i) || code.isDark(i, code.size() - 1));
    EXPECT_EQ(decoded(code.image(4)), QString::fromLatin1(link));
    EXPECT_TRUE(QrCode::encode("").isNull());
    EXPECT_TRUE(QrCode::encode(QByteArray(5000, 'a')).isNull());
    EXPECT_TRUE(code.image(0).isNull());
}

// A receipt and an A4 page, read back: every text whole (a long maker's name wrapped, not
// cut), the foot, and the QR code of the link.
TEST(PrintLayout, ASlipReadsBackWholeOnA4AndOnAReceipt)
{
    TempWorkspace workspace;
    const PrintSlip slip = slipOf(3);
    for (const Paper paper : { Paper::A4, Paper::Receipt }) {
        QString pdf;
        ASSERT_EQ(SlipOutput::toPdf(PrintLayout(slip, paper), workspace.filePath("slips"),
                      QDateTime(QDate(2026, 12, 9), QTime(14, 30, 5, int(paper))), &pdf),
            "");
        EXPECT_EQ(pdfPages(pdf), 1);
        const QString text = withoutBlanks(pdfPageTexts(pdf).join(QString()));
        QStringList expected { slip.title, slip.company, slip.summary, PrintLayout::pageLine(1, 1),
            PrintLayout::printedLine(slip.printedAt) };
        expected += slip.captions;
        for (const QStringList& record : slip.records)
            expected += record;
        for (const QString& part : expected)
            EXPECT_TRUE(text.contains(withoutBlanks(part)))
                << part.toStdString() << " in " << text.toStdString();
        EXPECT_EQ(firstPageCode(pdf), slip.link);
        // Every font travels with the slip: a printer or a mail reader has no Chinese font of its own.
        const QStringList fonts = run("pdffonts", { pdf }).split('\n', Qt::SkipEmptyParts).mid(2);
        EXPECT_FALSE(fonts.isEmpty());
        const QRegularExpression embedded(
            QStringLiteral("\\s(yes|no)\\s+(yes|no)\\s+(yes|no)\\s+\\d+\\s+\\d+\\s*$"));
        for (const QString& font : fonts)
            EXPECT_EQ(embedded.match(font).captured(1), "yes") << font.toStdString();
    }
}

// A printer that will not take the job (here, one whose output cannot be opened) says so by name.
TEST(SlipOutput, APrinterThatRefusesTheJobSaysSo)
{
    TempWorkspace workspace;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(workspace.filePath("no-such-folder/slip.pdf"));
    EXPECT_EQ(SlipOutput::toPrinter(PrintLayout(slipOf(3), Paper::Receipt), printer, "前台"),
        utf8("打印机“前台”未能接受打印任务，请联系管理员。"));
    EXPECT_FALSE(QFile::exists(workspace.filePath("no-such-folder/slip.pdf")));
}

// A disk that fills while the slip is written: the visitor is told, and no cut-off PDF is left
// in the folder. The process's file-size limit stands in for the full disk.
TEST(SlipOutput, AFolderWhoseDiskIsFullSaysSoAndKeepsNoPartOfTheSlip)
{
    TempWorkspace workspace;
    rlimit original {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = original;
    limited.rlim_cur = 16 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const QString message = SlipOutput::toPdf(
        PrintLayout(slipOf(3), Paper::A4), workspace.filePath("slips"), slipOf(3).printedAt);
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(message, utf8("无法在“%1”保存打印文件，请联系管理员。").arg(workspace.filePath("slips")));
    EXPECT_TRUE(QDir(workspace.filePath("slips")).entryList(QDir::Files).isEmpty());
}

// A date or a code wider than its column breaks inside rather than run into the next one.
TEST(PrintLayout, AWordWiderThanItsColumnBreaksInsideItAndTheLastLineRoomIsElided)
{
    const QFont font = ui::makeLogicalFont(30, 0, 400, utf8("楷体"));
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance("2023-10");
    const QStringList lines = PrintLayout::wrap("2023-10-01", font, width, 1000);
    EXPECT_GT(lines.size(), 1);
    EXPECT_EQ(lines.join(QString()), "2023-10-01");
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), width) << line.toStdString();
    const QStringList two = PrintLayout::wrap(utf8(LongMaker), font, width * 2, metrics.lineSpacing() * 2.5);
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(two[1].endsWith(QChar(0x2026)));
    EXPECT_EQ(PrintLayout::wrap("9.05", font, width, 10), QStringList { "9.05" });
}

// Many records run over pages: N pages, each saying page n of N, and no record lost or
// doubled at a page break; without a link there is no QR code.
TEST(PrintLayout, RecordsRunOverNumberedPagesWithoutLoss)
{
    TempWorkspace workspace;
    PrintSlip slip = slipOf(120);
    slip.link.clear();
    for (const Paper paper : { Paper::A4, Paper::Receipt }) {
        QString pdf;
        ASSERT_EQ(SlipOutput::toPdf(PrintLayout(slip, paper), workspace.path(), slip.printedAt, &pdf), "");
        const QStringList pages = pdfPageTexts(pdf);
        ASSERT_GT(pages.size(), 2);
        EXPECT_EQ(pdfPages(pdf), pages.size());
        for (int n = 1; n <= pages.size(); ++n)
            EXPECT_TRUE(
                withoutBlanks(pages[n - 1]).contains(withoutBlanks(PrintLayout::pageLine(n, pages.size()))));
        const QString text = pages.join(QString());
        for (const QStringList& record : slip.records)
            EXPECT_EQ(text.count(record.last()), 1) << record.last().toStdString();
        EXPECT_EQ(firstPageCode(pdf), "");
    }
    // Two slips of one moment are two files.
    QString first, second;
    EXPECT_EQ(SlipOutput::toPdf(PrintLayout(slip, Paper::A4), workspace.path(), slip.printedAt, &first), "");
    EXPECT_EQ(SlipOutput::toPdf(PrintLayout(slip, Paper::A4), workspace.path(), slip.printedAt, &second), "");
    EXPECT_NE(first, second);
}

namespace {

class PrintScreenTest : public ::testing::Test
{
protected:
    explicit PrintScreenTest(const QByteArray& print)
        : station(demoSettings().left(demoSettings().indexOf("[print]")) + "[print]\r\n" + print)
    {
        station.importDemoRecords();
        ui::OkMessageBox::clearShownTexts();
    }

    QStringList slips() const
    {
        return QDir(station.workspace.filePath("slips")).entryList({ "*.pdf" }, QDir::Files, QDir::Name);
    }

    QueryStation station;
};

class PrintingScreenTest : public PrintScreenTest
{
protected:
    PrintingScreenTest()
        : PrintScreenTest(
            "enabled=1\r\npdf=slips\r\npaper=a4\r\nlink=https://intranet.example/item?code={d8}\r\n")
    {
    }
};

class BareScreenTest : public PrintScreenTest
{
protected:
    BareScreenTest()
        : PrintScreenTest("printer=\r\npdf=slips\r\n")
    {
    }
};

} // namespace

// Off, or on without a printer or folder, the screen is as it was: no button, no QR code.
TEST_F(BareScreenTest, WithoutTheSwitchOrATargetNothingChanges)
{
    for (const bool enabled : { false, true }) {
        if (enabled) {
            ASSERT_TRUE(settings::PrintSetting::setEnabled(true));
            ASSERT_TRUE(settings::WriteSetting("print", "pdf", ""));
        }
        QueryDialog dialog;
        ASSERT_TRUE(dialog.isReady());
        EXPECT_EQ(dialog.printButton(), nullptr);
        EXPECT_TRUE(dialog.findChildren<ui::SkinButton*>("printButton").isEmpty());
        QTest::mouseClick(dialog.control(1146), Qt::LeftButton);
        EXPECT_TRUE(dialog.recordQrCode().isNull());
    }
    EXPECT_TRUE(slips().isEmpty());
}

// The button stands in the panel's free strip; a tap saves the page on display as a PDF, and
// the picture view shows the current record's QR code, which reads back as its link.
TEST_F(PrintingScreenTest, TheButtonPrintsThePageAndThePictureViewShowsTheLink)
{
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    dialog.show();
    ui::SkinButton* button = dialog.printButton();
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->caption(), utf8("打印"));
    EXPECT_TRUE(dialog.rect().contains(button->geometry()));
    EXPECT_GT(button->y(), dialog.control(1138)->geometry().bottom());
    for (QWidget* other : dialog.findChildren<QWidget*>()) {
        if (other != button && other->parentWidget() == &dialog && other->isVisible()
            && other->width() < dialog.width()) {
            EXPECT_FALSE(other->geometry().intersects(button->geometry()))
                << other->objectName().toStdString();
        }
    }

    const PrintSlip slip = dialog.printSlip();
    ASSERT_FALSE(slip.records.isEmpty());
    EXPECT_EQ(slip.link, "https://intranet.example/item?code=" + slip.records[0].last());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(ui::OkMessageBox::shownTexts().isEmpty())
        << ui::OkMessageBox::shownTexts().join("\n").toStdString();
    ASSERT_EQ(slips().size(), 1);
    const QString pdf = station.workspace.filePath("slips/" + slips()[0]);
    const QString text = withoutBlanks(pdfPageTexts(pdf).join(QString()));
    for (const QStringList& record : slip.records)
        EXPECT_TRUE(text.contains(withoutBlanks(record.join(QString())))) << record.join(" ").toStdString();
    EXPECT_EQ(firstPageCode(pdf), slip.link);
    // Printing left the page where it was.
    EXPECT_EQ(dialog.printSlip().records, slip.records);

    QTest::mouseClick(dialog.control(1146), Qt::LeftButton);
    ASSERT_TRUE(dialog.pictureView());
    ASSERT_FALSE(dialog.recordQrCode().isNull());
    EXPECT_EQ(decoded(dialog.grab().toImage()), slip.link);
    // There the record on display is the page: the slip holds it alone, with its link.
    QTest::mouseClick(dialog.control(1138), Qt::LeftButton);
    const PrintSlip picture = dialog.printSlip();
    ASSERT_EQ(picture.records.size(), 1);
    EXPECT_EQ(picture.records[0], slip.records.value(1));
    EXPECT_EQ(picture.link, "https://intranet.example/item?code=" + slip.records.value(1).last());
}

// A missing printer or a folder that cannot be written says so, and the screen goes on.
TEST_F(PrintingScreenTest, AMissingPrinterOrFolderSaysSoAndTheScreenGoesOn)
{
    station.workspace.writeFile("blocked", "a file where the folder should be");
    ASSERT_TRUE(settings::WriteSetting("print", "pdf", "blocked"));
    ASSERT_TRUE(settings::WriteSetting("print", "printer", "NoSuchPrinter"));
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    QTest::mouseClick(dialog.printButton(), Qt::LeftButton);
    EXPECT_EQ(ui::OkMessageBox::shownTexts(),
        QStringList {
            utf8("打印机“NoSuchPrinter”不可用，请联系管理员。\n无法在“%1”保存打印文件，请联系管理员。")
                .arg(station.workspace.filePath("blocked")) });
    const QString summary = dialog.printSlip().summary;
    QTest::mouseClick(dialog.control(1003), Qt::LeftButton);
    EXPECT_EQ(dialog.level(), 2);
    EXPECT_NE(dialog.printSlip().summary, summary);
}

// With records=all the slip holds the result from its first record up to the limit, and the
// page on display stays where it was.
TEST_F(PrintingScreenTest, EveryRecordUpToTheLimitWhenAllAreAskedFor)
{
    ASSERT_TRUE(settings::WriteSetting("print", "records", "all"));
    ASSERT_TRUE(settings::WriteSetting("print", "limit", "30"));
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    data::Recordset cursor = dialog.resultCursor();
    cursor.SetAbsolutePosition(5);
    const PrintSlip slip = dialog.printSlip();
    EXPECT_EQ(slip.records.size(), 30);
    EXPECT_EQ(slip.records[0].last(), "0100001");
    EXPECT_EQ(slip.link, "https://intranet.example/item?code=0100005");
    EXPECT_EQ(cursor.AbsolutePosition(), 5);
}

// A number with more digits than the screen's rounding keeps goes into the link exactly: the
// code names its own record, not a neighbour.
TEST_F(PrintingScreenTest, TheLinkHoldsANumberExactly)
{
    station.execute("update inquiry set d26=1234567890123456.78");
    ASSERT_TRUE(settings::WriteSetting("print", "link", "https://intranet.example/item?price={d26}"));
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    EXPECT_EQ(
        dialog.printSlip().link.toStdString(), "https://intranet.example/item?price=1234567890123456.78");
}

// The records of a search are printed under the search, not under the path behind it.
TEST_F(PrintingScreenTest, ASearchIsTheSlipsSummary)
{
    ASSERT_TRUE(settings::WriteSetting("show", "search", "1"));
    QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    query::SearchIndex::rebuild(data::SharedDatabase::connection(), query::SearchIndex::columns());
    auto* entry = dialog.findChild<QLineEdit*>("searchEntry");
    ASSERT_NE(entry, nullptr);
    QTest::keyClicks(entry, "amxl");
    EXPECT_EVENTUALLY(dialog.printSlip().summary.startsWith(utf8("搜索：amxl")));
    EXPECT_TRUE(dialog.printSlip().records.value(0).join(QString()).contains(utf8("阿莫西林")));
}
