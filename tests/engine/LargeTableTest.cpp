#include "engine/storage/ServedIndexes.h"
#include "engine/values/SqlFunctions.h"
#include "tests/engine/EngineTestSupport.h"

#include <QFile>
#include <sqlite3.h>

#include <algorithm>

using namespace glimora;
using namespace glimora::engine::test;
using glimora::engine::ServedIndexes;

namespace {

// The query screen's statements, as it sends them.
const QStringList Statements = {
    "select distinct d1 from inquiry  order by d1",
    "select distinct d2 from inquiry where  d1='类别1' order by d2",
    "select distinct d26 from inquiry where  d1='类别1' and d2='f1' order by d26",
    "select d1,d2,d16,d21,d26 from inquiry where  d1='类别1' and d2='f1'",
    "select distinct d16 from inquiry  order by d16",
    "select distinct d21 from inquiry  order by d21",
    "select d1,d2,d16,d21,d26 from inquiry where d16>='2012-01-05' and d16<='2012-01-09'",
    "select d1,d2,d16,d21,d26 from inquiry where d26>=2 and d26<=5.25",
    "select d21, count(*) from inquiry where  d2='f1' group by d21",
};

// Rows without their order, and how often the first one occurs.
QList<QStringList> sortedRows(const Rows& rows)
{
    QList<QStringList> sorted = rows.rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return sorted;
}

QStringList servedIndexes(const QString& file, bool withPages = false)
{
    QStringList names;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
        "SELECT name, rootpage FROM sqlite_master WHERE type='index' AND name LIKE '!_!_glimora!_index%' "
        "ESCAPE '!' ORDER BY name",
        -1, &statement, nullptr);
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
        // Where an index begins in the file tells one built again from the one before.
        names.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)))
            + (withPages ? QStringLiteral(" @%1").arg(sqlite3_column_int(statement, 1)) : QString()));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return names;
}

// SQLite's full check of a database file: among others, that every index agrees with its table.
QString integrityOf(const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    glimora::engine::SqlFunctions::install(db);
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    QString result;
    if (check && sqlite3_step(check) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
    sqlite3_finalize(check);
    sqlite3_close(db);
    return result;
}

class LargeTableTest : public ServerTest
{
protected:
    // nivo with 40 varied rows doubled `doublings` times.
    std::unique_ptr<data::BackendSession> seed(int doublings)
    {
        auto session = stationDatabase();
        QStringList values;
        const char* const categories[] = { "类别1", "类别2", "Beta", "alpha" };
        for (int i = 0; i < 40; ++i)
            values.append(QStringLiteral("('%1','f%2','2012-01-%3',%4,%5.25)")
                              .arg(QString::fromUtf8(categories[i % 4]))
                              .arg(i % 5)
                              .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                              .arg(i % 7)
                              .arg(i % 9));
        const QString batch = "insert inquiry(d1,d2,d16,d21,d26) values" + values.join(QLatin1Char(','));
        run(*session, batch);
        grow(*session, doublings);
        return session;
    }
    static void grow(data::BackendSession& session, int doublings)
    {
        for (int i = 0; i < doublings; ++i)
            run(session, "insert inquiry(d1,d2,d16,d21,d26) select d1,d2,d16,d21,d26 from inquiry");
    }
    static QString plan(data::BackendSession& session, const QString& statement)
    {
        run(session, "set showplan_text on");
        QStringList lines;
        for (const QStringList& row : run(session, statement).rows)
            lines.append(row.value(3));
        run(session, "set showplan_text off");
        return lines.join(QStringLiteral("; "));
    }
    QString file() const { return dataDirectory() + QStringLiteral("/nivo.sqlite"); }
};

} // namespace

TEST_F(LargeTableTest, StationStatementsAnswerAlikeThroughTheIndexesTheyGet)
{
    auto session = seed(7); // 5,120 rows: below the size that earns indexes
    QList<Rows> small;
    for (const QString& statement : Statements)
        small.append(run(*session, statement));
    EXPECT_EQ(servedIndexes(file()), QStringList());

    grow(*session, 2); // 20,480 rows, every row four times over
    for (int i = 0; i < Statements.size(); ++i) {
        SCOPED_TRACE(Statements[i].toStdString());
        const Rows large = run(*session, Statements[i]);
        if (Statements[i].contains(QLatin1String("distinct"))) {
            EXPECT_EQ(large.rows, small[i].rows);
        } else if (Statements[i].contains(QLatin1String("count(*)"))) {
            Rows fourTimes = small[i];
            for (QStringList& row : fourTimes.rows)
                row[1] = QString::number(row[1].toInt() * 4);
            EXPECT_EQ(sortedRows(large), sortedRows(fourTimes));
        } else {
            EXPECT_EQ(large.rows.size(), small[i].rows.size() * 4);
            EXPECT_EQ(sortedRows(large), sortedRows(small[i]));
        }
        EXPECT_TRUE(plan(*session, Statements[i]).contains(ServedIndexes::Prefix))
            << qPrintable(plan(*session, Statements[i]));
    }
    // The drill-down's levels share one index: the shorter ones it starts with are gone.
    EXPECT_EQ(servedIndexes(file()),
        QStringList({ "__glimora_index_inquiry_d16", "__glimora_index_inquiry_d1_d2_d26",
            "__glimora_index_inquiry_d21", "__glimora_index_inquiry_d26",
            "__glimora_index_inquiry_d2_d21" }));
}

TEST_F(LargeTableTest, IndexesStayOutOfSightTravelWithBackupsAndGoWithTheirTable)
{
    auto session = seed(9);
    run(*session, Statements[1]);
    run(*session, Statements[4]);
    ASSERT_EQ(servedIndexes(file()).size(), 2);
    EXPECT_EQ(errorOf(*session, "select count(*) from __glimora_index_inquiry_d16"), 208);
    EXPECT_NE(errorOf(*session, "create table __glimora_index_x(a int)"), 0);

    const QString device = m_directory.filePath("nivo.dbk");
    run(*session, "backup database nivo to disk='" + device + "' with init");
    EXPECT_EQ(errorOf(*session, "restore verifyonly from disk='" + device + "'"), 0);
    run(*session, "use master restore database copy from disk='" + device + "'");
    EXPECT_EQ(servedIndexes(dataDirectory() + "/copy.sqlite"), servedIndexes(file()));
    auto copy = connect("sa", "Secret1", "copy");
    EXPECT_EQ(column(*copy, Statements[1]), QStringList({ "f0", "f1", "f2", "f3", "f4" }));

    run(*session, "use nivo drop table inquiry");
    EXPECT_EQ(servedIndexes(file()), QStringList());
}

TEST_F(LargeTableTest, WritersAreNeverKeptWaitingAndImportsStayWhole)
{
    auto session = seed(9);
    // The catalogue's levels: d1, d2, d26 (a hidden field and one without a place are none).
    run(*session,
        "insert contrast(chna,engl,nober,sort) values('类别','d1',1,1),('剂型','d2',2,2),"
        "('日期h','d16',3,3),('金额','d26',4,4),('数量','d21',5,null)");
    auto writer = connect("sa", "Secret1", "nivo");
    run(*writer, "begin transaction insert inquiry(d1) values('new')");
    // The writer holds the database: the answer comes without an index.
    EXPECT_EQ(column(*session, Statements[0]), QStringList({ "alpha", "Beta", "类别1", "类别2" }));
    EXPECT_EQ(servedIndexes(file()), QStringList());
    run(*writer, "commit transaction");
    EXPECT_EQ(column(*session, Statements[0]), QStringList({ "alpha", "Beta", "new", "类别1", "类别2" }));
    // The first level builds the index of the whole drill-down at once.
    EXPECT_EQ(servedIndexes(file()), QStringList({ "__glimora_index_inquiry_d1_d2_d26" }));
    EXPECT_EQ(column(*session, Statements[2]), QStringList({ "0.25", "7.25" }));
    EXPECT_EQ(servedIndexes(file()), QStringList({ "__glimora_index_inquiry_d1_d2_d26" }));

    // An import that fails half-way leaves neither rows nor index entries behind.
    EXPECT_NE(
        errorOf(*session,
            "insert inquiry(d1,d21) select d1, case when d60 > 15000 then 'x' else d21 end from inquiry"),
        0);
    EXPECT_EQ(column(*session, "select count(*) from inquiry"), QStringList({ "20481" }));
    EXPECT_EQ(column(*session, "select count(*) from inquiry where d1='alpha'"), QStringList({ "5120" }));
    EXPECT_EQ(integrityOf(file()), QStringLiteral("ok"));
}

TEST_F(LargeTableTest, StatisticsFollowTheTableAsItGrowsAndEmpties)
{
    auto session = seed(9); // 20,480 rows
    run(*session, Statements[4]);
    const auto counted = [this] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(QFile::encodeName(file()).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT stat FROM sqlite_stat1 WHERE idx='__glimora_index_inquiry_d16'", -1,
            &statement, nullptr);
        qint64 rows = 0;
        if (statement && sqlite3_step(statement) == SQLITE_ROW)
            rows = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)))
                       .split(' ')[0]
                       .toLongLong();
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    };
    // Taken from a sample: the count is an estimate.
    const qint64 first = counted();
    EXPECT_GT(first, 10000);
    run(*session, "insert inquiry(d16) values('2012-02-01')");
    EXPECT_EQ(counted(), first);
    // Grown by more than a tenth, the table is counted again (from another sample).
    run(*session, "insert inquiry(d1,d16) select d1,d16 from inquiry where d60 <= 3072");
    EXPECT_NE(counted(), first);

    // An import that doubles the table takes the statistics again, within its own write:
    // what the statement reports is still its own.
    const Rows grown = run(*session,
        "insert inquiry(d1,d16) select d1,d16 from inquiry where d60 <= 20480 select @@rowcount, @@identity");
    EXPECT_EQ(grown.rows, QList<QStringList>({ { "20480", "44033" } }));
    EXPECT_GT(counted(), first * 3 / 2);
    EXPECT_TRUE(plan(*session, Statements[4]).contains(ServedIndexes::Prefix));

    EXPECT_EQ(
        column(*session, "delete from inquiry where d60 > 100 select @@rowcount"), QStringList({ "43933" }));
    EXPECT_LT(counted(), 1000);
    EXPECT_EQ(column(*session, Statements[4]).size(), 28);
}

TEST_F(LargeTableTest, AnEmptiedTableTakesAWholeImportWithItsIndexesBuiltAgain)
{
    auto session = seed(9); // 20,480 rows
    QList<Rows> before;
    for (const QString& statement : Statements)
        before.append(run(*session, statement));
    const QStringList kept = servedIndexes(file());
    ASSERT_EQ(kept.size(), 5);
    run(*session,
        "create table copy(d1 nvarchar(255) null, d2 nvarchar(255) null, d16 datetime null,"
        " d21 decimal(18,0) null, d26 decimal(18,2) null)"
        " insert copy select d1,d2,d16,d21,d26 from inquiry delete from inquiry");

    // One that fails half-way leaves the table empty and its indexes as they were.
    EXPECT_NE(errorOf(*session,
                  "insert inquiry(d1,d21) select d1, case when d21 > 5 then 'x' else d21 end from copy"),
        0);
    EXPECT_EQ(column(*session, "select count(*) from inquiry"), QStringList({ "0" }));
    const QStringList placed = servedIndexes(file(), true);
    EXPECT_EQ(servedIndexes(file()), kept);
    EXPECT_TRUE(plan(*session, Statements[5]).contains(ServedIndexes::Prefix));

    EXPECT_EQ(column(*session,
                  "insert inquiry(d1,d2,d16,d21,d26) select d1,d2,d16,d21,d26 from copy"
                  " select @@rowcount"),
        QStringList({ "20480" }));
    EXPECT_EQ(servedIndexes(file()), kept);
    const QStringList rebuilt = servedIndexes(file(), true);
    for (int i = 0; i < kept.size(); ++i)
        EXPECT_NE(rebuilt[i], placed[i]);
    for (int i = 0; i < Statements.size(); ++i) {
        SCOPED_TRACE(Statements[i].toStdString());
        EXPECT_EQ(sortedRows(run(*session, Statements[i])), sortedRows(before[i]));
        EXPECT_TRUE(plan(*session, Statements[i]).contains(ServedIndexes::Prefix));
    }
    // Each index holds every row, once.
    EXPECT_EQ(integrityOf(file()), QStringLiteral("ok"));
}

// Visitors combining lists at will earn kept indexes up to a bound, and are answered alike
// beyond it.
TEST_F(LargeTableTest, KeptIndexesStopAtTheirBound)
{
    auto session = stationDatabase();
    run(*session, "create table wide (c1 int, c2 int, c3 int, c4 int, c5 int, c6 int, c7 int, c8 int)");
    QStringList values;
    for (int i = 0; i < 40; ++i)
        values.append(QStringLiteral("(%1,%2,%3,%4,%5,%6,%7,%8)")
                          .arg(i % 2)
                          .arg(i % 3)
                          .arg(i % 4)
                          .arg(i % 5)
                          .arg(i % 6)
                          .arg(i % 7)
                          .arg(i % 8)
                          .arg(i % 9));
    run(*session, "insert wide values " + values.join(QLatin1Char(',')));
    for (int i = 0; i < 9; ++i) // 20,480 rows
        run(*session, "insert wide select * from wide");
    for (int under = 1; under <= 8; ++under) {
        for (int counted = 1; counted <= 8; ++counted) {
            if (under != counted)
                run(*session,
                    QStringLiteral("select c%1, count(*) from wide where c%2=1 group by c%1")
                        .arg(counted)
                        .arg(under));
        }
    }
    EXPECT_EQ(servedIndexes(file()).size(), ServedIndexes::MostKept);
    // Beyond the bound the answers are the same, without an index of their own.
    EXPECT_EQ(run(*session, "select c1, count(*) from wide where c8=1 group by c1").rows,
        QList<QStringList>({ { "0", "1024" }, { "1", "1536" } }));
}

TEST_F(LargeTableTest, AnImportWhoseIndexesCannotBeBuiltAgainFailsWholeAndKeepsThem)
{
    auto session = seed(9); // 20,480 rows
    run(*session, Statements[0]);
    run(*session, "delete from inquiry where d60 > 5000");
    const QStringList placed = servedIndexes(file(), true);
    ASSERT_EQ(placed.size(), 1);
    qputenv("GLIMORA_ENGINE_FAIL", "index-statistics");
    EXPECT_EQ(errorOf(*session, "insert inquiry(d1,d2) select d1,d2 from inquiry where d60 <= 10"), 1105);
    qunsetenv("GLIMORA_ENGINE_FAIL");
    EXPECT_EQ(column(*session, "select count(*) from inquiry"), QStringList({ "5000" }));
    EXPECT_EQ(servedIndexes(file(), true), placed);
    EXPECT_TRUE(plan(*session, Statements[0]).contains(ServedIndexes::Prefix));
    EXPECT_EQ(
        column(*session, "insert inquiry(d1,d2) select d1,d2 from inquiry where d60 <= 10 select @@rowcount"),
        QStringList({ "10" }));
    EXPECT_EQ(column(*session, "select count(*) from inquiry where d1='alpha'"), QStringList({ "1252" }));
}

TEST(ServedIndexWish, KeysFollowTheComparedAndOrderedColumns)
{
    // Only the key the wish asks for is judged here; the statements above show SQLite using it.
    ServedIndexes::Wish drill { { "d1", "d2" }, "d26", true };
    EXPECT_TRUE(ServedIndexes::serves({ "d2", "D1", "d26", "d16" }, drill));
    EXPECT_FALSE(ServedIndexes::serves({ "d1", "d26" }, drill));
    EXPECT_FALSE(ServedIndexes::serves({ "d1", "d2" }, drill));
    ServedIndexes::Wish records { { "d1", "d21" }, {}, false };
    EXPECT_TRUE(ServedIndexes::serves({ "d21" }, records));
    EXPECT_FALSE(ServedIndexes::serves({ "d2", "d1" }, records));
}

TEST(TextCollation, OrdersAsCaseFoldedCharactersWithoutTrailingBlanks)
{
    // The collation takes shortcuts; every pair must still order as the folded texts do.
    const QStringList texts = { "", " ", "a", "A", "a  ", "ab", "aB", "b", "Z", "é", "É", "e", "ë", "类别1",
        "类别12", "类别2", "类", "别", "剂型", "类别1 ", "ǅ", "ǆ", "Ǆ", "😀", "😁", "a😀", "a类", "aé", "ß", "ẞ",
        "ﬀ", "Ω", "ω", "\u00ff", "\u0178", "Ⅻ", "ⅻ", "中文A", "中文a", "中文b" };
    const auto reference = [](QString left, QString right) {
        while (left.endsWith(QLatin1Char(' ')))
            left.chop(1);
        while (right.endsWith(QLatin1Char(' ')))
            right.chop(1);
        const int result = left.compare(right, Qt::CaseInsensitive);
        return result < 0 ? -1 : result > 0 ? 1 : 0;
    };
    for (const QString& left : texts) {
        for (const QString& right : texts) {
            const int got = engine::SqlFunctions::compareText(left.toUtf8(), right.toUtf8());
            EXPECT_EQ(got < 0 ? -1
                    : got > 0 ? 1
                              : 0,
                reference(left, right))
                << qPrintable(left) << " / " << qPrintable(right);
        }
    }
}
