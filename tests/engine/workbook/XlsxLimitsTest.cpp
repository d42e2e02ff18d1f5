#include "engine/workbook/SheetTableBuilder.h"
#include "engine/workbook/XlsxReader.h"
#include "tests/engine/workbook/WorkbookFixtures.h"
#include "tests/support/TempWorkspace.h"
#include "tools/workbook-writer/ZipWriter.h"

#include <gtest/gtest.h>

using namespace glimora::engine;
using glimora::data::Variant;

namespace {

const QString sheetPart = QStringLiteral("xl/worksheets/sheet2.xml");

QByteArray sheetXml(const QByteArray& rows)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
        + rows + "</sheetData></worksheet>";
}

// The catalogue workbook with its "contrast" sheet replaced.
QString catalogueWithSheet(const TempWorkspace& workspace, const QByteArray& xml)
{
    workspace.writeFile("book.xlsx", fixtureBytes("contrast.xlsx"));
    EXPECT_TRUE(ZipWriter::putPart(workspace.filePath("book.xlsx"), sheetPart, xml));
    return workspace.filePath("book.xlsx");
}

WorkbookError::Reason refusal(const std::function<void()>& read)
{
    try {
        read();
    } catch (const WorkbookError& error) {
        return error.reason();
    }
    ADD_FAILURE() << "the workbook was read without complaint";
    return WorkbookError::Reason::Damaged;
}

TEST(XlsxLimits, stopInflatingAPartBeyondItsLimitWhateverTheArchiveClaims)
{
    TempWorkspace workspace;
    // 8 MB of blanks inside a valid sheet: a few kilobytes once deflated.
    const QString path = catalogueWithSheet(workspace, sheetXml(QByteArray(8 * 1024 * 1024, ' ')));
    ZipPackage::Limits limits;
    limits.maximumEntrySize = 1024 * 1024;
    EXPECT_EQ(
        refusal([&] { XlsxReader(path, limits).read("contrast", false); }), WorkbookError::Reason::TooLarge);
    limits = {};
    limits.maximumTotalSize = 1024 * 1024;
    EXPECT_EQ(
        refusal([&] { XlsxReader(path, limits).read("contrast", false); }), WorkbookError::Reason::TooLarge);
    // With the default limits the same package is read: an empty sheet, still with its F1.
    const WorkbookTable table = XlsxReader(path).read("contrast", false);
    EXPECT_TRUE(table.rows.isEmpty());
    EXPECT_EQ(table.columnNames, QStringList({ "F1" }));
}

TEST(XlsxLimits, refuseAPackageOfTooManyParts)
{
    TempWorkspace workspace;
    workspace.writeFile("book.xlsx", fixtureBytes("contrast.xlsx"));
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(ZipWriter::putPart(
            workspace.filePath("book.xlsx"), QStringLiteral("filler/%1.xml").arg(i), "<x/>"));
    ZipPackage::Limits limits;
    limits.maximumEntries = 30;
    EXPECT_EQ(refusal([&] { XlsxReader(workspace.filePath("book.xlsx"), limits); }),
        WorkbookError::Reason::TooLarge);
}

TEST(XlsxLimits, refuseASparseSheetThatWouldNeedBillionsOfCells)
{
    TempWorkspace workspace;
    const QString path = catalogueWithSheet(workspace,
        sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                 "<row r=\"1048576\"><c r=\"XFD1048576\"><v>2</v></c></row>"));
    EXPECT_EQ(refusal([&] { readWorkbookSheet(path, "contrast", false); }), WorkbookError::Reason::TooLarge);
}

TEST(XlsxLimits, refuseCellsOutsideTheGridOrTheirRow)
{
    TempWorkspace workspace;
    for (const QByteArray& rows : { QByteArray("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"),
             QByteArray("<row r=\"1\"><c r=\"A2\"><v>1</v></c></row>"), QByteArray("<row r=\"0\"/>"),
             QByteArray("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99999</v></c></row>") }) {
        const QString path = catalogueWithSheet(workspace, sheetXml(rows));
        EXPECT_EQ(
            refusal([&] { readWorkbookSheet(path, "contrast", false); }), WorkbookError::Reason::Damaged)
            << rows.constData();
    }
}

TEST(XlsxCells, readInlineAndFormulaTextsBooleansErrorsAndImplicitPositions)
{
    TempWorkspace workspace;
    const QString path = catalogueWithSheet(workspace,
        sheetXml("<row r=\"2\"><c "
                 "t=\"inlineStr\"><is><r><t>价</t></r><r><t>格</t></r><rPh><t>ka</t></rPh></is></c>"
                 "<c t=\"str\"><f>A2</f><v>0012</v></c><c t=\"b\"><v>1</v></c><c t=\"e\"><v>#N/A</v></c>"
                 "<c t=\"d\"><v>2012-12-31T08:00:00</v></c><c s=\"0\"/><c><v> 3.5 </v></c></row>"));
    const WorkbookTable table = readWorkbookSheet(path, "contrast", false);
    ASSERT_EQ(table.rows.size(), 2);
    EXPECT_EQ(table.columnNames.size(), 7);
    EXPECT_TRUE(table.rows[0][0].isNull());
    const QList<Variant> expected
        = { Variant::fromString("价格"), Variant::fromString("0012"), Variant::fromDouble(1), Variant::null(),
              Variant::fromDateTime(QDateTime(QDate(2012, 12, 31), QTime(8, 0), Qt::UTC)), Variant::null(),
              Variant::fromDouble(3.5) };
    EXPECT_EQ(table.rows[1], expected);
}

TEST(SheetTableBuilder, padsRowsDropsTrailingGapsAndNamesBlankHeaders)
{
    SheetTableBuilder builder("book.xlsx");
    builder.setCell(0, 0, Variant::fromString("code"));
    builder.setCell(0, 2, Variant::fromDouble(2024));
    builder.setCell(1, 1, Variant::fromString("x"));
    builder.setCell(3, 0, Variant::null()); // an explicit empty cell widens nothing
    builder.setCell(2, 9, Variant::null());
    const WorkbookTable table = builder.finish(true);
    EXPECT_EQ(table.columnNames, QStringList({ "code", "F2", "2024" }));
    ASSERT_EQ(table.rows.size(), 1);
    EXPECT_EQ(table.rows[0], QList<Variant>({ Variant::null(), Variant::fromString("x"), Variant::null() }));
}

} // namespace
