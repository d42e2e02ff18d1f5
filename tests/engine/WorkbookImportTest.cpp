#include "engine/workbook/SheetCells.h"
#include "tests/engine/EngineTestSupport.h"

#include <functional>
#include <QDateTime>
#include <QFile>
#include <stdexcept>

using namespace glimora;
using namespace glimora::engine::test;
using data::Variant;

namespace {

const char* const ImportContrast = "insert contrast select f1,f2,f3,f4,f5,f6 from "
                                   "openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=no;Database=%1',"
                                   "contrast$) where f1<>'chna' and f1 is not null and f2 is not null";

QList<Variant> cells(std::initializer_list<Variant> values)
{
    return QList<Variant>(values);
}

} // namespace

class WorkbookImportTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_session = stationDatabase();
    }

    std::unique_ptr<data::BackendSession> m_session;
};

TEST_F(WorkbookImportTest, CatalogueRowsSkipTheHeadingAndEmptyRows)
{
    QString seenPath;
    QString seenSheet;
    bool seenHeader = true;
    m_backend->setRowsetReader([&](const QString& path, const QString& sheet, bool header) {
        seenPath = path;
        seenSheet = sheet;
        seenHeader = header;
        engine::RowsetTable table;
        table.columnNames = { "F1", "F2", "F3", "F4", "F5", "F6" };
        const Variant null = Variant::null();
        table.rows = {
            cells({ Variant::fromString("chna"), Variant::fromString("engl"), Variant::fromString("withe"),
                null, null, null }),
            cells({ Variant::fromString("名称"), Variant::fromString("d1"), Variant::fromDouble(100),
                Variant::fromDouble(0), Variant::fromDouble(1), Variant::fromDouble(1) }),
            cells({ null, null, null, null, null, null }),
            cells({ Variant::fromString("无代码"), null, Variant::fromDouble(80), null,
                Variant::fromDouble(3), null }),
            cells({ Variant::fromString("公司"), Variant::fromString("x"), null, null,
                Variant::fromDouble(100), null }),
        };
        return table;
    });
    auto session = connect("sa", "Secret1", "nivo");
    EXPECT_EQ(
        run(*session, QString::fromLatin1(ImportContrast).arg("C:\\station\\Contrast.XLS")).rowsAffected, 2);
    EXPECT_EQ(seenPath, "C:\\station\\Contrast.XLS");
    EXPECT_EQ(seenSheet, "contrast");
    EXPECT_FALSE(seenHeader);
    EXPECT_EQ(run(*session, "select chna,engl,withe,nub,nober,sort from contrast order by nober").rows,
        (QList<QStringList> {
            { "名称", "d1", "100", "0", "1", "1" }, { "公司", "x", "NULL", "NULL", "100", "NULL" } }));
}

TEST_F(WorkbookImportTest, OneBadRowImportsNothing)
{
    m_backend->setRowsetReader([](const QString&, const QString&, bool) {
        engine::RowsetTable table;
        table.columnNames = { "F1", "F2" };
        for (int i = 0; i < 50; ++i)
            table.rows.append(
                cells({ Variant::fromString(QString("name %1").arg(i)), Variant::fromDouble(i + 1) }));
        table.rows.append(cells({ Variant::fromString(QString(60, 'x')), Variant::fromDouble(99) }));
        return table;
    });
    auto session = connect("sa", "Secret1", "nivo");
    EXPECT_EQ(errorOf(*session,
                  "insert contrast(chna,nober) select f1,f2 from openrowset('Microsoft.Jet.OLEDB.4.0',"
                  "'Excel 8.0;HDR=no;Database=x.xls',sheet1$)"),
        8152);
    EXPECT_EQ(column(*session, "select count(*) from contrast"), QStringList { "0" });
}

TEST_F(WorkbookImportTest, MissingDamagedAndProtectedWorkbooksFailNamingTheFile)
{
    const QString folder = QStringLiteral(GLIMORA_ENGINE_FIXTURES "/workbooks/");
    for (const QString& name : { QStringLiteral("no-such-file.xls"), QStringLiteral("damaged.xls"),
             QStringLiteral("truncated.xlsx"), QStringLiteral("password.xls") }) {
        if (name != "no-such-file.xls" && !QFile::exists(folder + name))
            continue;
        QString message;
        EXPECT_EQ(errorOf(*m_session, QString::fromLatin1(ImportContrast).arg(folder + name), &message), 7399)
            << name.toStdString();
        EXPECT_NE(message.indexOf(name), -1) << message.toStdString();
    }
    EXPECT_EQ(column(*m_session, "select count(*) from contrast"), QStringList { "0" });
    QString message;
    EXPECT_EQ(errorOf(*m_session, "select * from openrowset('SQLOLEDB','x','y')", &message), 7403);
}

TEST_F(WorkbookImportTest, HeaderRowNamesTheColumns)
{
    m_backend->setRowsetReader([](const QString&, const QString&, bool header) {
        if (!header)
            throw std::runtime_error("expected a heading row");
        engine::RowsetTable table;
        table.columnNames = { "名称", "日期" };
        table.rows = { cells({ Variant::fromString("a"),
            Variant::fromDateTime(QDateTime(QDate(2012, 12, 31), QTime(0, 0))) }) };
        return table;
    });
    auto session = connect("sa", "Secret1", "nivo");
    run(*session,
        "insert inquiry(d1,d16) select 名称,日期 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel "
        "5.0;HDR=yes;"
        "Database=a.xls',[records$])");
    EXPECT_EQ(column(*session, "select d16 from inquiry where d16='2012-12-31'"),
        QStringList { "2012-12-31 00:00:00" });
}

TEST_F(WorkbookImportTest, AColumnOfSeveralKindsReadsEveryValueAsTheCellHoldsIt)
{
    m_backend->setRowsetReader([](const QString&, const QString&, bool) {
        engine::RowsetTable table;
        table.columnNames = { "F1", "F2" };
        const QDateTime date(QDate(2024, 1, 2), QTime(0, 0), Qt::UTC);
        table.rows = { cells({ Variant::fromDouble(7), Variant::fromDouble(1.5) }),
            cells({ Variant::fromString("x"), Variant::fromDateTime(date) }),
            cells({ Variant::fromString("007"), Variant::null() }),
            cells({ Variant::fromDateTime(date), Variant::fromDouble(0.1) }) };
        return table;
    });
    auto session = connect("sa", "Secret1", "nivo");
    const Rows rows = run(*session,
        "select f1,f2 from openrowset('MicroSoft.Jet.OleDB.4.0','Excel "
        "5.0;HDR=no;Database=a.xls',[records$])");
    ASSERT_EQ(rows.fields.size(), 2);
    EXPECT_EQ(rows.fields[0].type, data::DataType::VarWChar);
    EXPECT_EQ(rows.fields[1].type, data::DataType::VarWChar);
    const QList<QStringList> expected = { { "7", "1.5" }, { "x", "2024-01-02 00:00:00.000" },
        { "007", "NULL" }, { "2024-01-02 00:00:00.000", "0.1" } };
    EXPECT_EQ(rows.rows, expected);

    // Such a column still fills typed columns.
    run(*session,
        "insert inquiry(d1,d16,d26) select f1,'2024-01-02',f2 from openrowset('MicroSoft.Jet.OleDB.4.0',"
        "'Excel 5.0;HDR=no;Database=a.xls',[records$]) where f1='007'");
    EXPECT_EQ(column(*session, "select d1 from inquiry"), QStringList { "007" });
}

// The cells of a sheet go straight from the reader into the server; whatever stops the
// reading half-way, nothing of the sheet arrives and the session goes on.
TEST_F(WorkbookImportTest, AReaderThatFailsHalfWayImportsNothing)
{
    for (const bool serverFailure : { false, true }) {
        m_backend->setRowsetCellReader(
            [serverFailure](const QString&, const QString&, bool, engine::SheetCells& cells) {
                for (int row = 0; row < 5000; ++row) {
                    cells.text(row, 0, "name " + std::to_string(row));
                    cells.number(row, 1, row);
                }
                if (serverFailure)
                    cells.number(engine::SheetCells::maximumRows, 0, 1); // outside any sheet
                throw std::runtime_error("The workbook 'x.xls' is damaged and cannot be read");
            });
        auto session = connect("sa", "Secret1", "nivo");
        QString message;
        EXPECT_EQ(errorOf(*session,
                      "insert contrast(chna,nober) select f1,f2 from openrowset('Microsoft.Jet.OLEDB.4.0',"
                      "'Excel 8.0;HDR=no;Database=x.xls',sheet1$)",
                      &message),
            7399);
        EXPECT_NE(message.indexOf("x.xls"), -1) << message.toStdString();
        EXPECT_EQ(column(*session, "select count(*) from contrast"), QStringList { "0" });
        EXPECT_EQ(column(*session, "select @@trancount"), QStringList { "0" });
        run(*session, "insert contrast(chna,nober) values('after',1)");
        EXPECT_EQ(column(*session, "select count(*) from contrast"), QStringList { "1" });
        run(*session, "delete contrast");
    }
}

// Readers hand cells on mostly in order, but a sheet may list them in any order and twice.
TEST_F(WorkbookImportTest, CellsInAnyOrderMakeTheSameTable)
{
    m_backend->setRowsetCellReader([](const QString&, const QString&, bool, engine::SheetCells& cells) {
        cells.text(0, 0, "name");
        cells.dateTime(0, 2, QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), Qt::UTC).toMSecsSinceEpoch());
        cells.text(1, 0, "first");
        cells.number(4, 1, 4.5);
        cells.text(4, 0, "fourth");
        cells.text(1, 0, "one"); // after later rows, replacing a value
        cells.number(2, 3, 7); // a column no row had before
        cells.text(3, 0, ""); // an empty text is no value
        cells.number(1, 1, 0.1);
        cells.text(2, 1, "x"); // a second kind in a column of numbers
        cells.dateTime(6, 0, QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch());
    });
    auto session = connect("sa", "Secret1", "nivo");
    const Rows rows = run(*session,
        "select * from openrowset('MicroSoft.Jet.OleDB.4.0','Excel 5.0;HDR=yes;Database=a.xls',[records$])");
    ASSERT_EQ(rows.fields.size(), 4);
    EXPECT_EQ(rows.fields[0].name, "name");
    EXPECT_EQ(rows.fields[1].name, "F2");
    EXPECT_EQ(rows.fields[2].name, "2024-05-06 07:08:09");
    EXPECT_EQ(rows.fields[3].name, "F4");
    EXPECT_EQ(rows.fields[1].type, data::DataType::VarWChar);
    const QList<QStringList> expected = { { "one", "0.1", "NULL", "NULL" }, { "NULL", "x", "NULL", "7" },
        { "NULL", "NULL", "NULL", "NULL" }, { "fourth", "4.5", "NULL", "NULL" },
        { "NULL", "NULL", "NULL", "NULL" }, { "0001-01-01 00:00:00.000", "NULL", "NULL", "NULL" } };
    EXPECT_EQ(rows.rows, expected);
}

// Large sheets stream straight into the table in a single pass; the column types are learnt
// from the first rows, so whatever a later row changes must still give today's table.
class StreamedImportTest : public WorkbookImportTest
{
protected:
    static constexpr int Rows = 100'000;

    // Rows of a name, an amount, a date and a price; `change` may alter each row's cells.
    void setSheet(std::function<void(int row, engine::SheetCells& cells)> change = {})
    {
        m_backend->setRowsetCellReader(
            [this, change](const QString&, const QString&, bool, engine::SheetCells& cells) {
                ++m_reads;
                const qint64 day = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
                for (int row = 0; row < m_rows; ++row) {
                    cells.text(row, 0, "name " + std::to_string(row));
                    cells.number(row, 1, row + 0.5);
                    cells.dateTime(row, 2, day + qint64(row % 365) * 86'400'000);
                    cells.number(row, 3, (row % 1000) / 100.0);
                    if (change)
                        change(row, cells);
                }
            });
        // A session takes the reader it starts with.
        m_session = connect("sa", "Secret1", "nivo");
    }

    QString import(const QString& columns = "d1,d2,d16,d26", const QString& sources = "f1,f2,f3,f4")
    {
        return QStringLiteral("insert inquiry(%1) select %2 from openrowset('Microsoft.Jet.OLEDB.4.0',"
                              "'Excel 8.0;HDR=no;Database=big.xlsx',sheet1$)")
            .arg(columns, sources);
    }

    int m_rows = Rows;
    int m_reads = 0;
};

TEST_F(StreamedImportTest, ASheetOfOneKindPerColumnIsReadOnceAndStoredAsTheLoadedRows)
{
    setSheet();
    EXPECT_EQ(run(*m_session, import()).rowsAffected, Rows);
    EXPECT_EQ(m_reads, 1);
    // The same rows as a select over the loaded table gives them.
    const QList<QStringList> expected = { { "name 0", "0.5", "2024-01-01 00:00:00", "0.00" },
        { "name 1234", "1234.5", "2024-05-19 00:00:00", "2.34" },
        { "name 99999", "99999.5", "2024-12-20 00:00:00", "9.99" } };
    EXPECT_EQ(
        run(*m_session,
            "select d1,d2,d16,d26 from inquiry where d1 in ('name 0','name 1234','name 99999') order by d60")
            .rows,
        expected);
    EXPECT_EQ(run(*m_session,
                  "select f1,convert(nvarchar(255),f2),f3,f4 from openrowset('Microsoft.Jet.OLEDB.4.0',"
                  "'Excel 8.0;HDR=no;Database=big.xlsx',sheet1$) where f1='name 1234'")
                  .rows.value(0)
                  .value(1),
        column(*m_session, "select d2 from inquiry where d1='name 1234'").value(0));
}

TEST_F(StreamedImportTest, AColumnTurningMixedLateIsTypedAsBefore)
{
    // Row 90,000 brings a text into a column of numbers: every value reads as the cell holds it.
    setSheet([](int row, engine::SheetCells& cells) {
        if (row == 1)
            cells.number(row, 1, 1234567.5);
        if (row == 90'000)
            cells.text(row, 1, "x");
    });
    EXPECT_EQ(run(*m_session, import()).rowsAffected, Rows);
    EXPECT_EQ(
        run(*m_session,
            "select d2 from inquiry where d1 in ('name 0','name 1','name 90000','name 90001') order by d60")
            .rows,
        (QList<QStringList> { { "0.5" }, { "1234567.5" }, { "x" }, { "90001.5" } }));
}

TEST_F(StreamedImportTest, ANewColumnCellsOutOfOrderOrAGapLateMakeTheSameTable)
{
    m_rows = 5000;
    setSheet([](int row, engine::SheetCells& cells) {
        if (row == 3000)
            cells.text(row, 4, "late column");
    });
    EXPECT_EQ(run(*m_session, import("d1,d2", "f1,f5")).rowsAffected, 5000);
    EXPECT_EQ(
        column(*m_session, "select d2 from inquiry where d1='name 3000'"), QStringList { "late column" });
    EXPECT_EQ(column(*m_session, "select count(d2) from inquiry"), QStringList { "1" });
    run(*m_session, "delete inquiry");

    setSheet([](int row, engine::SheetCells& cells) {
        if (row == 4999)
            cells.text(10, 0, "again"); // a cell of a row stored long before
    });
    EXPECT_EQ(run(*m_session, import()).rowsAffected, 5000);
    EXPECT_EQ(column(*m_session, "select d2 from inquiry where d1='again'"), QStringList { "10.5" });
    EXPECT_EQ(column(*m_session, "select count(*) from inquiry where d1='name 10'"), QStringList { "0" });
    run(*m_session, "delete inquiry");

    setSheet([](int row, engine::SheetCells& cells) {
        if (row == 4999)
            cells.text(9000, 0, "after a gap"); // empty rows between stay rows
    });
    m_reads = 0;
    EXPECT_EQ(run(*m_session, import()).rowsAffected, 9001);
    EXPECT_EQ(m_reads, 1);
    EXPECT_EQ(column(*m_session, "select count(*) from inquiry where d1 is null"), QStringList { "4000" });
    EXPECT_EQ(column(*m_session, "select d2 from inquiry where d60=(select max(d60) from inquiry)"),
        QStringList { "NULL" });
}

TEST_F(StreamedImportTest, AnImportFailingHalfWayThroughItsSinglePassLeavesTheTableAsBefore)
{
    run(*m_session, "insert inquiry(d1) values('kept')");
    // A value its column cannot take, a text among numbers, a damaged file: each fails as
    // the same sheet too small to stream fails, and nothing of it is stored.
    const std::function<void(int, engine::SheetCells&)> faults[] = {
        [](int row, engine::SheetCells& cells) {
            if (row == 50'000 || row == 800)
                cells.number(row, 3, 1e30);
        },
        [](int row, engine::SheetCells& cells) {
            if (row == 50'000 || row == 800)
                cells.text(row, 3, "abc");
        },
        [](int row, engine::SheetCells&) {
            if (row == 50'000 || row == 800)
                throw std::runtime_error("The workbook 'big.xlsx' is damaged and cannot be read");
        },
    };
    for (const auto& fault : faults) {
        m_rows = 1000; // read whole before anything is stored
        setSheet(fault);
        QString smallMessage;
        const int smallError = errorOf(*m_session, import(), &smallMessage);
        EXPECT_NE(smallError, 0);
        m_rows = Rows;
        setSheet(fault);
        QString message;
        EXPECT_EQ(errorOf(*m_session, import(), &message), smallError);
        EXPECT_EQ(message, smallMessage);
        EXPECT_EQ(column(*m_session, "select d1 from inquiry"), QStringList { "kept" });
        EXPECT_EQ(column(*m_session, "select @@trancount"), QStringList { "0" });
    }
}
