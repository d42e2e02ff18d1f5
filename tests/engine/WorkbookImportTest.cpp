#include "engine/workbook/SheetCells.h"
#include "tests/engine/EngineTestSupport.h"

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
