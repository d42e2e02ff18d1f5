#include "engine/workbook/WorkbookReader.h"
#include "engine/workbook/XlsReader.h"
#include "tests/engine/workbook/WorkbookFixtures.h"
#include "tests/support/DesktopTimeZone.h"
#include "tests/support/Sanitizers.h"
#include "tests/support/TempWorkspace.h"
#include "tools/workbook-writer/ZipWriter.h"

#include <csignal>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QFile>
#include <sys/mman.h>
#include <unistd.h>

using namespace glimora::engine;
using glimora::data::Variant;

namespace {

QDateTime dateTime(int year, int month, int day, int hour = 0, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

// The same catalogue written as BIFF8, as BIFF5 (in code page 936) and as .xlsx.
class CatalogueWorkbookTest : public testing::TestWithParam<const char*>
{
protected:
    WorkbookTable read(const QString& sheet, bool headerRow = false)
    {
        return readWorkbookSheet(fixturePath(QString::fromLatin1(GetParam())), sheet, headerRow);
    }
};

TEST_P(CatalogueWorkbookTest, readsEveryRowOfTheUsedRangeAsJetDoes)
{
    const WorkbookTable table = read(QStringLiteral("contrast"));
    EXPECT_EQ(table.columnNames, QStringList({ "F1", "F2", "F3", "F4", "F5", "F6" }));
    ASSERT_EQ(table.rows.size(), 19);
    for (const QList<Variant>& row : table.rows)
        ASSERT_EQ(row.size(), 6);

    EXPECT_EQ(table.rows[0][0], Variant::fromString("chna"));
    EXPECT_EQ(table.rows[0][5], Variant::fromString("sort"));
    const QList<Variant> firstField = { Variant::fromString("类别"), Variant::fromString("d1"),
        Variant::fromDouble(60), Variant::fromDouble(1), Variant::fromDouble(1), Variant::fromDouble(1) };
    EXPECT_EQ(table.rows[1], firstField);
    // A field without a level keeps its sort cell empty.
    EXPECT_EQ(table.rows[4][0], Variant::fromString("规格"));
    EXPECT_TRUE(table.rows[4][5].isNull());

    // Empty rows come back as rows of NULLs, like any row inside the used range.
    EXPECT_TRUE(std::all_of(
        table.rows[12].begin(), table.rows[12].end(), [](const Variant& v) { return v.isNull(); }));
    EXPECT_EQ(table.rows[13][0], Variant::fromString("备注h"));
    EXPECT_TRUE(table.rows[14][0].isNull());
    EXPECT_EQ(table.rows[14][1], Variant::fromString("d10"));

    EXPECT_EQ(table.rows[17][0], Variant::fromString("晴川市第一人民医院"));
    EXPECT_EQ(table.rows[17][4], Variant::fromDouble(100));
    EXPECT_EQ(table.rows[18][0], Variant::fromString("药品及医疗服务价格公示"));
    EXPECT_EQ(table.rows[18][4], Variant::fromDouble(101));
}

TEST_P(CatalogueWorkbookTest, namesColumnsAfterTheHeaderRow)
{
    const WorkbookTable table = read(QStringLiteral("contrast"), true);
    EXPECT_EQ(table.columnNames, QStringList({ "chna", "engl", "withe", "nub", "nober", "sort" }));
    ASSERT_EQ(table.rows.size(), 18);
    EXPECT_EQ(table.rows[0][1], Variant::fromString("d1"));
}

TEST_P(CatalogueWorkbookTest, matchesSheetNamesCaseInsensitivelyAndRefusesUnknownOnes)
{
    EXPECT_EQ(read(QStringLiteral("CONTRAST")).rows.size(), 19);
    const WorkbookTable notes = read(QStringLiteral("说明"));
    ASSERT_EQ(notes.rows.size(), 1);
    EXPECT_EQ(notes.columnNames, QStringList({ "F1" }));
    EXPECT_EQ(refusalReason(fixturePath(QString::fromLatin1(GetParam())), QStringLiteral("contrast2")),
        WorkbookError::Reason::MissingSheet);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CatalogueWorkbookTest, testing::Values("contrast.xls", "contrast-biff5.xls", "contrast.xlsx"));

class RecordsWorkbookTest : public testing::TestWithParam<const char*>
{
};

TEST_P(RecordsWorkbookTest, keepsTextsNumbersDatesAndGaps)
{
    const WorkbookTable table
        = readWorkbookSheet(fixturePath(QString::fromLatin1(GetParam())), "records", true);
    EXPECT_EQ(table.columnNames,
        QStringList({ "类别", "剂型", "名称", "规格", "单位", "厂家或科室", "医保类别", "项目编码",
            "执行日期", "单价" }));
    ASSERT_EQ(table.rows.size(), 22);
    const QList<Variant>& first = table.rows[0];
    EXPECT_EQ(first[0], Variant::fromString("西药"));
    EXPECT_EQ(first[7], Variant::fromString("0100001")); // a code keeps its leading zeros
    EXPECT_EQ(first[8].kind(), Variant::Kind::DateTime);
    EXPECT_EQ(first[8].toDateTime().time(), QTime(0, 0));
    EXPECT_EQ(first[9].kind(), Variant::Kind::Double);

    const QList<Variant>& gaps = table.rows[20];
    EXPECT_TRUE(gaps[3].isNull());
    EXPECT_TRUE(gaps[6].isNull());
    EXPECT_TRUE(gaps[8].isNull());
    EXPECT_EQ(gaps[9], Variant::fromDouble(20));

    const QList<Variant>& texts = table.rows[21];
    EXPECT_EQ(texts[0], Variant::fromString("  留空格  "));
    EXPECT_EQ(texts[2], Variant::fromString("00123"));
    EXPECT_EQ(texts[7], Variant::fromString("007"));
    EXPECT_EQ(texts[9], Variant::fromDouble(-1.5));
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordsWorkbookTest, testing::Values("records.xls", "records.xlsx"));

class DateSystemTest : public testing::TestWithParam<const char*>
{
};

TEST_P(DateSystemTest, readsDatesOfThe1900System)
{
    const WorkbookTable table
        = readWorkbookSheet(fixturePath(QStringLiteral("dates-1900.") + GetParam()), "dates", true);
    ASSERT_EQ(table.rows.size(), 7);
    const QList<QDateTime> expected = { dateTime(1900, 1, 1), dateTime(1900, 2, 28), dateTime(1900, 3, 1),
        dateTime(2012, 12, 31), dateTime(2024, 6, 1, 14, 30), dateTime(2008, 8, 8) };
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(table.rows[i][1], Variant::fromDateTime(expected[i]))
            << table.rows[i][0].toString().toStdString();
    // A number with a plain number format stays a number.
    EXPECT_EQ(table.rows[6][1], Variant::fromDouble(45000.25));
}

TEST_P(DateSystemTest, readsDatesOfThe1904System)
{
    const WorkbookTable table
        = readWorkbookSheet(fixturePath(QStringLiteral("dates-1904.") + GetParam()), "dates", true);
    ASSERT_EQ(table.rows.size(), 4);
    EXPECT_EQ(table.rows[0][1], Variant::fromDateTime(dateTime(1904, 1, 2)));
    EXPECT_EQ(table.rows[1][1], Variant::fromDateTime(dateTime(2012, 12, 31)));
    EXPECT_EQ(table.rows[2][1], Variant::fromDateTime(dateTime(2024, 6, 1, 14, 30)));
    EXPECT_EQ(table.rows[3][1], Variant::fromDouble(45000.25));
}

INSTANTIATE_TEST_SUITE_P(Formats, DateSystemTest, testing::Values("xls", "xlsx"));

TEST(WorkbookRefusals, nameTheFileAndTellWhy)
{
    using Reason = WorkbookError::Reason;
    TempWorkspace workspace;
    EXPECT_EQ(refusalReason(workspace.filePath("absent.xls"), "contrast"), Reason::MissingFile);
    EXPECT_EQ(refusalReason(workspace.path(), "contrast"), Reason::MissingFile);

    workspace.writeFile("empty.xls", {});
    EXPECT_EQ(refusalReason(workspace.filePath("empty.xls"), "contrast"), Reason::Damaged);
    workspace.writeFile("text.xls", "chna,engl\n类别,d1\n");
    EXPECT_EQ(refusalReason(workspace.filePath("text.xls"), "contrast"), Reason::NotAWorkbook);

    EXPECT_EQ(refusalReason(fixturePath("damaged.xls"), "contrast"), Reason::Damaged);
    EXPECT_EQ(refusalReason(fixturePath("truncated.xls"), "contrast"), Reason::Damaged);
    EXPECT_EQ(refusalReason(fixturePath("damaged.xlsx"), "contrast"), Reason::Damaged);
    EXPECT_EQ(refusalReason(fixturePath("truncated.xlsx"), "contrast"), Reason::Damaged);
    EXPECT_EQ(refusalReason(fixturePath("entities.xlsx"), "contrast"), Reason::Damaged);
    // Found by fuzzing libfreexl, which read far past a buffer on this file.
    EXPECT_THAT(refusalReason(fixturePath("freexl-overread.xls"), "contrast"),
        testing::AnyOf(Reason::Damaged, Reason::NotAWorkbook));

    EXPECT_EQ(refusalReason(fixturePath("password.xls"), "contrast"), Reason::PasswordProtected);
    EXPECT_EQ(refusalReason(fixturePath("password-encrypted.xls"), "contrast"), Reason::PasswordProtected);
    EXPECT_EQ(refusalReason(fixturePath("password.xlsx"), "contrast"), Reason::PasswordProtected);
}

TEST(WorkbookRefusals, tellTheFormatByContentNotByName)
{
    TempWorkspace workspace;
    workspace.writeFile("catalogue.xlsx", fixtureBytes("contrast.xls"));
    workspace.writeFile("catalogue.XLS", fixtureBytes("contrast.xlsx"));
    EXPECT_EQ(readWorkbookSheet(workspace.filePath("catalogue.xlsx"), "contrast", false).rows.size(), 19);
    EXPECT_EQ(readWorkbookSheet(workspace.filePath("catalogue.XLS"), "contrast", false).rows.size(), 19);
}

TEST(WorkbookRefusals, messagesCarryNonAsciiPathsIntact)
{
    TempWorkspace workspace;
    workspace.writeFile("目录/价格.xls", fixtureBytes("contrast.xls"));
    const QString path = workspace.filePath("目录/价格.xls");
    EXPECT_EQ(readWorkbookSheet(path, "contrast", false).rows.size(), 19);
    try {
        readWorkbookSheet(path, "工作表", false);
        FAIL();
    } catch (const WorkbookError& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
            QStringLiteral("The workbook '%1' has no worksheet named '工作表'.").arg(path));
    }
}

TEST(XlsxTexts, decodeExcelsEscapesAndReadErrorsAsNull)
{
    TempWorkspace workspace;
    workspace.writeFile("book.xlsx", fixtureBytes("contrast.xlsx"));
    const QString path = workspace.filePath("book.xlsx");
    ASSERT_TRUE(ZipWriter::putPart(path, "xl/sharedStrings.xml",
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<si><t>line_x000D_\nbreak</t></si><si><t>_x005F_x0041_ stays</t></si>"
        "<si><r><t>rich _x0009_</t></r><r><t>tab</t></r></si></sst>"));
    ASSERT_TRUE(ZipWriter::putPart(path, "xl/worksheets/sheet2.xml",
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row "
        "r=\"1\">"
        "<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c>"
        "<c r=\"D1\" t=\"inlineStr\"><is><t>_xD83D__xDE00_ _x41_ _xZZZZ_</t></is></c>"
        "<c r=\"E1\" t=\"str\"><f>A1</f><v>_x0041_</v></c>"
        "<c r=\"F1\" t=\"e\"><v>#N/A</v></c><c r=\"G1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
        "<c r=\"H1\"><v>1</v></c></row></sheetData></worksheet>"));
    const WorkbookTable table = readWorkbookSheet(path, "contrast", false);
    ASSERT_EQ(table.rows.size(), 1);
    EXPECT_EQ(table.rows[0],
        QList<Variant>({ Variant::fromString("line\r\nbreak"), Variant::fromString("_x0041_ stays"),
            Variant::fromString("rich \ttab"), Variant::fromString(QStringLiteral("😀 _x41_ _xZZZZ_")),
            Variant::fromString("A"), Variant::null(), Variant::null(), Variant::fromDouble(1) }));
}

// ISO dates of cells of type "d" name wall-clock times, also those the desktop's zone skips.
TEST(XlsxTexts, readDateCellsWithoutTheDesktopsTimeZone)
{
    const DesktopTimeZone berlin("Europe/Berlin");
    TempWorkspace workspace;
    workspace.writeFile("book.xlsx", fixtureBytes("contrast.xlsx"));
    const QString path = workspace.filePath("book.xlsx");
    ASSERT_TRUE(ZipWriter::putPart(path, "xl/worksheets/sheet2.xml",
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row "
        "r=\"1\"><c r=\"A1\" t=\"d\"><v>2024-03-31T02:30:00</v></c><c r=\"B1\" t=\"d\"><v>2024-03-31</v></c>"
        "<c r=\"C1\" t=\"d\"><v>2024-03-31T02:30:00.250+05:00</v></c></row></sheetData></worksheet>"));
    const WorkbookTable table = readWorkbookSheet(path, "contrast", false);
    ASSERT_EQ(table.rows.size(), 1);
    const QDate day(2024, 3, 31);
    EXPECT_EQ(table.rows[0],
        QList<Variant>({ Variant::fromDateTime(QDateTime(day, QTime(2, 30), Qt::UTC)),
            Variant::fromDateTime(QDateTime(day, QTime(0, 0), Qt::UTC)),
            Variant::fromDateTime(QDateTime(day, QTime(2, 30, 0, 250), Qt::UTC)) }));
}

} // namespace

namespace {

class XlsChildFailureTest : public testing::Test
{
protected:
    void TearDown() override { XlsReader::setChildHookForTesting(nullptr); }

    std::string refusal()
    {
        try {
            readWorkbookSheet(fixturePath("contrast.xls"), "contrast", false);
        } catch (const WorkbookError& error) {
            EXPECT_EQ(error.reason(), WorkbookError::Reason::Damaged);
            return error.what();
        }
        ADD_FAILURE() << "read although the reader died";
        return {};
    }
};

TEST_F(XlsChildFailureTest, aCrashOfTheLibraryBecomesAnErrorOfTheWorkbook)
{
    XlsReader::setChildHookForTesting([] { std::raise(SIGSEGV); });
    EXPECT_NE(refusal().find("signal 11"), std::string::npos);
    XlsReader::setChildHookForTesting([] { std::abort(); });
    EXPECT_NE(refusal().find("signal 6"), std::string::npos);
    XlsReader::setChildHookForTesting([] { _exit(0); });
    EXPECT_NE(refusal().find("stopped unexpectedly"), std::string::npos);

    // The parent carries on as before.
    XlsReader::setChildHookForTesting(nullptr);
    EXPECT_EQ(readWorkbookSheet(fixturePath("contrast.xls"), "contrast", false).rows.size(), 19);
}

// The child has no memory limit under the address sanitizer.
TEST_F(XlsChildFailureTest, theChildHasAMemoryAllowanceOnTopOfItsParent)
{
    if (underShadowMemorySanitizer)
        GTEST_SKIP() << "a sanitizer's shadow memory cannot live with a memory limit";
    // A parent that has reserved much address space (as a browser engine does) still reads.
    const size_t reservation = size_t(4) << 30;
    void* reserved
        = mmap(nullptr, reservation, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(reserved, MAP_FAILED);
    EXPECT_EQ(readWorkbookSheet(fixturePath("contrast.xls"), "contrast", false).rows.size(), 19);
    munmap(reserved, reservation);

    // Beyond the allowance allocations fail; the hook tells which way by its signal.
    XlsReader::setChildHookForTesting([] {
        void* memory = malloc(size_t(3) << 30);
        std::raise(memory == nullptr ? SIGUSR1 : SIGUSR2);
    });
    EXPECT_NE(refusal().find(QStringLiteral("signal %1").arg(SIGUSR1).toStdString()), std::string::npos);
}

TEST_F(XlsChildFailureTest, theChildCannotWriteFiles)
{
    TempWorkspace workspace;
    static QByteArray target;
    target = QFile::encodeName(workspace.filePath("written"));
    XlsReader::setChildHookForTesting([] {
        FILE* file = fopen(target.constData(), "w");
        const bool written = file != nullptr && fputs("x", file) >= 0 && fflush(file) == 0;
        _exit(written ? 3 : 4);
    });
    refusal();
    EXPECT_TRUE(workspace.readFile("written").isEmpty());
}

} // namespace
