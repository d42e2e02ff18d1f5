// Constructs of the BIFF record stream that the writers of the corpus do not all produce,
// built record by record.
#include "engine/workbook/WorkbookReader.h"
#include "tests/engine/workbook/WorkbookFixtures.h"
#include "tests/support/TempWorkspace.h"
#include "tools/workbook-writer/BiffWriter.h"
#include "tools/workbook-writer/CompoundFileWriter.h"

#include <gtest/gtest.h>

using namespace glimora::engine;
using glimora::data::Variant;

namespace {

using W = BiffWriter;

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), Qt::UTC);
}

class BiffReaderTest : public testing::Test
{
protected:
    WorkbookTable read(const BiffWriter& writer, const QString& sheet = QStringLiteral("sheet"))
    {
        m_workspace.writeFile("book.xls", writer.file());
        return readWorkbookSheet(m_workspace.filePath("book.xls"), sheet, false);
    }
    WorkbookError::Reason refusal(const BiffWriter& writer)
    {
        m_workspace.writeFile("book.xls", writer.file());
        return refusalReason(m_workspace.filePath("book.xls"), QStringLiteral("sheet"));
    }

    TempWorkspace m_workspace;
};

TEST_F(BiffReaderTest, sharedTextsContinueAcrossRecordsAndSwitchCompressionMidText)
{
    const QStringList texts = {
        QString(32767, QChar(0x957f)), // the longest cell text, in two-byte characters
        QString(20000, QLatin1Char('L')),
        QStringLiteral("ab长").repeated(8000),
        QString(9000, QChar(0xe9)) + QString(9000, QChar(0x6587)), // compressed, then two-byte
        QString(), // an empty text
        QStringLiteral("after"),
    };
    for (int maximumRecord : { 8224, 101, 7 }) {
        SCOPED_TRACE(maximumRecord);
        BiffWriter writer;
        writer.addSharedStrings(texts, maximumRecord);
        writer.addSheet("sheet");
        for (int i = 0; i < texts.size(); ++i)
            writer.addCell(W::labelSst, W::cell(quint16(i), 0, 15) + W::u32(quint32(i)));
        const WorkbookTable table = read(writer);
        ASSERT_EQ(table.rows.size(), texts.size());
        for (int i = 0; i < texts.size(); ++i) {
            const Variant expected = texts[i].isEmpty() ? Variant::null() : Variant::fromString(texts[i]);
            EXPECT_EQ(table.rows[i][0], expected) << "text " << i;
        }
    }
}

TEST_F(BiffReaderTest, formulasGiveTheirStoredResults)
{
    BiffWriter writer;
    const quint16 dateXf = writer.addXf(14);
    writer.addSheet("sheet");
    writer.addCell(W::formulaRecord, W::formula(0, 0, W::formulaNumber(2.5)));
    writer.addCell(W::formulaRecord, W::formula(1, 0, W::formulaSpecial(0)));
    writer.addTextCell(W::string, {}, QString(10000, QChar(0x957f))); // continued over three records
    writer.addCell(W::formulaRecord, W::formula(2, 0, W::formulaSpecial(1, 1)));
    writer.addCell(W::formulaRecord, W::formula(3, 0, W::formulaSpecial(1, 0)));
    writer.addCell(W::formulaRecord, W::formula(4, 0, W::formulaSpecial(2, 0x2a))); // #N/A
    writer.addCell(W::formulaRecord, W::formula(5, 0, W::formulaSpecial(3))); // ""
    writer.addCell(W::formulaRecord, W::formula(6, 0, W::formulaNumber(45000), dateXf));
    writer.addCell(W::formulaRecord, W::formula(7, 0, W::formulaSpecial(0)));
    writer.addCell(0x04bc, QByteArray(8, '\0')); // a shared formula between FORMULA and STRING
    writer.addCell(W::string, W::text(QStringLiteral("shared")));
    writer.addCell(W::numberRecord, W::number(7, 1, 1));
    const WorkbookTable table = read(writer);
    ASSERT_EQ(table.rows.size(), 8);
    EXPECT_EQ(table.rows[0][0], Variant::fromDouble(2.5));
    EXPECT_EQ(table.rows[1][0], Variant::fromString(QString(10000, QChar(0x957f))));
    EXPECT_EQ(table.rows[2][0], Variant::fromDouble(1));
    EXPECT_EQ(table.rows[3][0], Variant::fromDouble(0));
    EXPECT_TRUE(table.rows[4][0].isNull());
    EXPECT_TRUE(table.rows[5][0].isNull());
    EXPECT_EQ(table.rows[6][0], Variant::fromDateTime(utc(2023, 3, 15)));
    EXPECT_EQ(table.rows[7][0], Variant::fromString("shared"));
}

TEST_F(BiffReaderTest, numberCellsOfEveryRecordKind)
{
    BiffWriter writer;
    writer.addSheet("sheet");
    writer.addCell(W::rk, W::cell(0, 0, 15) + W::u32((quint32(-123) << 2) | 0x02)); // integer
    writer.addCell(W::rk, W::cell(0, 1, 15) + W::u32((quint32(12345) << 2) | 0x03)); // integer / 100
    quint64 bits;
    const double half = 1.5;
    std::memcpy(&bits, &half, 8);
    writer.addCell(W::rk, W::cell(0, 2, 15) + W::u32(quint32(bits >> 32))); // a double's top bits
    writer.addCell(W::mulRk,
        W::u16(1) + W::u16(1) + W::u16(15) + W::u32((7u << 2) | 2) + W::u16(15) + W::u32((8u << 2) | 2)
            + W::u16(2));
    writer.addCell(W::boolErr, W::cell(2, 0, 15) + char(1) + char(0));
    writer.addCell(W::boolErr, W::cell(2, 1, 15) + char(0) + char(0));
    writer.addCell(W::boolErr, W::cell(2, 2, 15) + char(0x07) + char(1)); // #DIV/0!
    writer.addCell(W::blank, W::cell(3, 0, 15));
    writer.addCell(W::mulBlank, W::u16(3) + W::u16(1) + W::u16(15) + W::u16(15) + W::u16(2));
    writer.addCell(W::labelRecord, writer.label(4, 0, QStringLiteral("内联文本")));
    writer.addCell(W::rstring, writer.label(4, 1, QStringLiteral("rich")) + W::u16(0));
    const WorkbookTable table = read(writer);
    ASSERT_EQ(table.rows.size(), 5);
    EXPECT_EQ(table.rows[0],
        QList<Variant>({ Variant::fromDouble(-123), Variant::fromDouble(123.45), Variant::fromDouble(1.5) }));
    EXPECT_EQ(table.rows[1][1], Variant::fromDouble(7));
    EXPECT_EQ(table.rows[1][2], Variant::fromDouble(8));
    EXPECT_EQ(
        table.rows[2], QList<Variant>({ Variant::fromDouble(1), Variant::fromDouble(0), Variant::null() }));
    EXPECT_EQ(table.rows[3], QList<Variant>(3, Variant::null()));
    EXPECT_EQ(table.rows[4][0], Variant::fromString("内联文本"));
    EXPECT_EQ(table.rows[4][1], Variant::fromString("rich"));
}

TEST_F(BiffReaderTest, theCellFormatDecidesWhatIsADate)
{
    BiffWriter writer;
    const quint16 builtInDate = writer.addXf(14);
    const quint16 builtInTime = writer.addXf(21);
    const quint16 builtInNumber = writer.addXf(4);
    QList<quint16> custom;
    const QStringList codes = { "yyyy-mm-dd hh:mm:ss.000", "hh:mm:ss", "[h]:mm", "0.00\" m/s\"", "0 \"days\"",
        "[Red]0.0", "0.0_);(0.0)", "\\d0", "yyyy\"年\"m\"月\"d\"日\"" };
    for (int i = 0; i < codes.size(); ++i) {
        writer.addFormat(quint16(164 + i), codes[i]);
        custom.append(writer.addXf(quint16(164 + i)));
    }
    writer.addSheet("sheet");
    const double serial = 73051.5 + 0.25 / 86400; // 2100-01-01 12:00:00.250
    writer.addCell(W::numberRecord, W::number(0, 0, 73110, builtInDate)); // 2100-03-01
    writer.addCell(W::numberRecord, W::number(0, 1, 2958465, builtInDate)); // 9999-12-31
    writer.addCell(W::numberRecord, W::number(0, 2, 0.75, builtInTime));
    writer.addCell(W::numberRecord, W::number(0, 3, 7, builtInNumber));
    for (int i = 0; i < codes.size(); ++i)
        writer.addCell(W::numberRecord,
            W::number(1, quint16(i),
                i == 2      ? 1.5
                    : i < 2 ? serial
                            : 7,
                custom[i]));
    writer.addCell(W::numberRecord, W::number(1, 8, 39668, custom[8]));
    const WorkbookTable table = read(writer);
    EXPECT_EQ(table.rows[0][0], Variant::fromDateTime(utc(2100, 3, 1)));
    EXPECT_EQ(table.rows[0][1], Variant::fromDateTime(utc(9999, 12, 31)));
    EXPECT_EQ(table.rows[0][2], Variant::fromDateTime(utc(1899, 12, 30, 18)));
    EXPECT_EQ(table.rows[0][3], Variant::fromDouble(7));
    EXPECT_EQ(table.rows[1][0], Variant::fromDateTime(utc(2100, 1, 1, 12, 0, 0, 250)));
    EXPECT_EQ(table.rows[1][1], Variant::fromDateTime(utc(2100, 1, 1, 12, 0, 0, 250)));
    EXPECT_EQ(table.rows[1][2], Variant::fromDateTime(utc(1900, 1, 1, 12)));
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(table.rows[1][i], Variant::fromDouble(7)) << codes[i].toStdString();
    EXPECT_EQ(table.rows[1][8], Variant::fromDateTime(utc(2008, 8, 8)));
}

TEST_F(BiffReaderTest, the1904DateSystemCountsFromItsFirstDay)
{
    BiffWriter writer;
    writer.addGlobal(W::dateMode, W::u16(1));
    const quint16 date = writer.addXf(14);
    writer.addSheet("sheet");
    writer.addCell(W::numberRecord, W::number(0, 0, 0, date));
    writer.addCell(W::numberRecord, W::number(1, 0, 1, date));
    writer.addCell(W::numberRecord, W::number(2, 0, 71648, date));
    const WorkbookTable table = read(writer);
    EXPECT_EQ(table.rows[0][0], Variant::fromDateTime(utc(1904, 1, 1)));
    EXPECT_EQ(table.rows[1][0], Variant::fromDateTime(utc(1904, 1, 2)));
    EXPECT_EQ(table.rows[2][0], Variant::fromDateTime(utc(2100, 3, 1)));
}

TEST_F(BiffReaderTest, findsSheetsByNameAndSkipsEmbeddedCharts)
{
    BiffWriter writer(5);
    writer.addSheet("First");
    writer.addCell(W::labelRecord, writer.label(0, 0, QStringLiteral("one")));
    writer.addSheet("Second");
    writer.addCell(W::bof, W::u16(0x0500) + W::u16(0x0020) + W::u32(0)); // an embedded chart
    writer.addCell(W::labelRecord, writer.label(5, 5, QStringLiteral("chart text")));
    writer.addCell(W::eof, {});
    writer.addCell(W::labelRecord, writer.label(0, 0, QStringLiteral("two, café")));
    const WorkbookTable first = read(writer, QStringLiteral("first"));
    EXPECT_EQ(first.rows, QList<QList<Variant>>({ { Variant::fromString("one") } }));
    const WorkbookTable second = read(writer, QStringLiteral("SECOND"));
    EXPECT_EQ(second.rows, QList<QList<Variant>>({ { Variant::fromString("two, café") } }));
    EXPECT_EQ(refusalReason(m_workspace.filePath("book.xls"), QStringLiteral("Third")),
        WorkbookError::Reason::MissingSheet);
}

TEST_F(BiffReaderTest, damagedRecordsAreRefusedNeverReadAsValues)
{
    {
        BiffWriter writer;
        writer.addSharedStrings({ QStringLiteral("only") });
        writer.addSheet("sheet");
        writer.addCell(W::labelSst, W::cell(0, 0, 15) + W::u32(1)); // no such shared text
        EXPECT_EQ(refusal(writer), WorkbookError::Reason::Damaged);
    }
    {
        BiffWriter writer;
        writer.addSheet("sheet");
        writer.addCell(
            W::labelRecord, W::cell(0, 0, 15) + W::u16(50) + char(1) + "short"); // text past its record
        EXPECT_EQ(refusal(writer), WorkbookError::Reason::Damaged);
    }
    {
        BiffWriter writer;
        writer.addSheet("sheet");
        writer.addCell(W::numberRecord, W::cell(0, 0, 15) + W::u32(0)); // a number of four bytes
        EXPECT_EQ(refusal(writer), WorkbookError::Reason::Damaged);
    }
    {
        BiffWriter writer;
        writer.addGlobal(W::filePass, W::u16(1) + QByteArray(52, 'k'));
        writer.addSheet("sheet");
        EXPECT_EQ(refusal(writer), WorkbookError::Reason::PasswordProtected);
    }
    {
        // A worksheet whose records run to the end of the stream without EOF.
        BiffWriter writer;
        writer.addSheet("sheet");
        writer.addCell(W::numberRecord, W::number(0, 0, 1));
        QByteArray stream = writer.stream();
        stream.chop(4);
        CompoundFileWriter file;
        file.addStream(QStringLiteral("Workbook"), stream);
        m_workspace.writeFile("book.xls", file.write());
        EXPECT_EQ(refusalReason(m_workspace.filePath("book.xls"), QStringLiteral("sheet")),
            WorkbookError::Reason::Damaged);
    }
}

} // namespace

// A cell past the sheet's last column stops the reading while the child still has much to
// send; the child is then ended, not waited for (it would wait on the full pipe for ever).
TEST_F(BiffReaderTest, aCellOutsideTheSheetFailsWhileTheChildStillWrites)
{
    BiffWriter writer;
    writer.addSheet("sheet");
    writer.addCell(W::numberRecord, W::number(0, 20000, 1));
    for (quint16 row = 1; row < 30000; ++row)
        writer.addCell(W::numberRecord, W::number(row, 0, row));
    EXPECT_EQ(refusal(writer), WorkbookError::Reason::Damaged);
}
