#include "data/SearchKeys.h"
#include "data/SharedDatabase.h"
#include "data/SqlLiteral.h"
#include "data/StatementRecorder.h"
#include "query/SearchIndex.h"
#include "query/SearchStatements.h"
#include "settings/Settings.h"
#include "tests/query/QueryStation.h"

#include <gtest/gtest.h>

using glimora::data::SearchKeys;
using glimora::query::SearchIndex;
using glimora::query::SearchStatements;

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

TEST(SearchKeysTest, ReadingsOfPolyphonesUsualFirst)
{
    const SearchKeys bank = SearchKeys::of(u("银行"));
    EXPECT_EQ(bank.initials.value(0), u("yx"));
    EXPECT_TRUE(bank.initials.contains(u("yh")));
    EXPECT_TRUE(bank.fullPinyin.contains(u("yinhang")));
    const SearchKeys city = SearchKeys::of(u("重慶"));
    EXPECT_EQ(city.text, u("重庆"));
    EXPECT_TRUE(city.initials.contains(u("cq")));
    EXPECT_TRUE(city.initials.contains(u("zq")));
    // Many polyphones in a row stop at the cap, the usual readings kept.
    const SearchKeys many = SearchKeys::of(u("行行行行行行行行"));
    EXPECT_EQ(many.fullPinyin.size(), SearchKeys::maxVariants);
    EXPECT_EQ(many.initials.value(0), u("xxxxxxxx"));
}

// The edit's entry and the records' search as sent, a quote in the value and in the query.
TEST(SearchStatementsTest, TextsByteForByte)
{
    EXPECT_EQ(SearchStatements::addEntry(u("d1"), u("O'行"), SearchKeys::of(u("O'行"))).toStdString(),
        "if not exists (select 1 from inquiry_search_value where c='d1' and k='006f0027884c' and v=N'O''行') "
        "begin insert into inquiry_search_value (c, id, v, t, p, k) select 'd1', isnull(max(id), 0) "
        "+ 1, N'O''行', N'o''行', N' o''x o''h o''xing o''hang o''heng', '006f0027884c' "
        "from inquiry_search_value insert into inquiry_search_chunk (c, lo, hi, t, p) select 'd1', "
        "(select max(id) from inquiry_search_value), (select max(id) from inquiry_search_value), "
        "N'\to''行\t', "
        "N' o''x o''h\to''xing\to''hang\to''heng' end");
    EXPECT_EQ(SearchStatements::records(u("d1, d2"), { u("d1"), u("d2") }, u("y'")).toStdString(),
        "select d1, d2, 0 as search_rank from (select distinct x.v from inquiry_search_value x where "
        "x.c='d1' and x.k = '00790027' and x.t = N'y''') as found cross join inquiry where inquiry.d1 "
        "= found.v union all select d1, d2, 1 as search_rank from (select distinct x.v from "
        "inquiry_search_value "
        "x where x.c='d1' and x.k >= '00790027' and x.k < '00790027g' and charindex(N'y''', x.t) = "
        "1 and not x.t = N'y''') as found cross join inquiry where inquiry.d1 = found.v union all select "
        "d1, d2, 1 as search_rank from (select distinct x.v from inquiry_search_chunk r cross join "
        "inquiry_search_value x where r.c='d1' and (charindex(N' y''', r.p) > 0 or charindex(N'\ty''', "
        "r.p) > 0) and x.id >= r.lo and x.id <= r.hi and charindex(N' y''', x.p) > 0 and charindex(N'y''', "
        "x.t) <> 1) as found cross join inquiry where inquiry.d1 = found.v union all select d1, d2, "
        "2 as search_rank from (select distinct x.v from inquiry_search_chunk r cross join "
        "inquiry_search_value "
        "x where r.c='d1' and charindex(N'y''', r.t) > 0 and x.id >= r.lo and x.id <= r.hi and "
        "charindex(N'y''', "
        "x.t) > 1 and charindex(N' y''', x.p) = 0) as found cross join inquiry where inquiry.d1 = found.v "
        "union all select d1, d2, 2 as search_rank from (select distinct x.v from inquiry_search_chunk "
        "r cross join inquiry_search_value x where r.c='d2' and (charindex(N'y''', r.t) > 0 or (charindex(N' "
        "y''', r.p) > 0 or charindex(N'\ty''', r.p) > 0)) and x.id >= r.lo and x.id <= r.hi and "
        "(charindex(N'y''', "
        "x.t) > 0 or charindex(N' y''', x.p) > 0)) as found cross join inquiry where inquiry.d2 = found.v "
        "and (inquiry.d1 is null or inquiry.d1 not in (select distinct x.v from inquiry_search_chunk "
        "r cross join inquiry_search_value x where r.c='d1' and (charindex(N'y''', r.t) > 0 or (charindex(N' "
        "y''', r.p) > 0 or charindex(N'\ty''', r.p) > 0)) and x.id >= r.lo and x.id <= r.hi and "
        "(charindex(N'y''', "
        "x.t) > 0 or charindex(N' y''', x.p) > 0))) order by search_rank");
}

class SearchIndexTest : public ::testing::Test
{
protected:
    SearchIndexTest()
        : station(demoSettings())
    {
        station.execute(u("delete from inquiry"));
        const char* const rows[][2] = {
            { "中国银行", "北京分行" },
            { "重庆医院", "渝中区" },
            { "醫院管理局", "香港" },
            { "长城饭店", "朝阳区" },
            { "乐山大佛", "四川" },
            { "CT检查", "放射科" },
            { "B超 2号室", "超声科" },
            { "O'Brien诊所", "外宾" },
            { "血常规", "检验科" },
            { "单位123", "会计" },
        };
        for (const auto& row : rows)
            station.execute(u("insert into inquiry (d1, d2) values (N'%1', N'%2')")
                                .arg(glimora::data::SqlLiteral::quotesDoubled(u(row[0])), u(row[1])));
        m_connection = glimora::data::Connection::create();
        m_connection.Open(u("Driver={SQL Server};Server=(LOCAL);Database=%1;Uid=sa;pwd=station")
                              .arg(glimora::settings::Settings::instance().database));
        SearchIndex::rebuild(connection(), columns);
    }
    glimora::data::Connection& connection() { return m_connection; }
    QStringList found(const char* query)
    {
        const QString normalised = SearchKeys::normalisedQuery(u(query));
        if (normalised.isEmpty())
            return {};
        QStringList names;
        for (const QString& row : station.rows(SearchStatements::records(u("d1"), columns, normalised)))
            names.append(row.section(QLatin1Char('|'), 0, 0));
        return names;
    }

    QueryStation station;
    const QStringList columns { u("d1"), u("d2") };
    glimora::data::Connection m_connection;
};

TEST_F(SearchIndexTest, FindsByTextInitialsAndFullPinyin)
{
    const struct
    {
        const char* query;
        QStringList expected; // in order where it matters, else sorted below
    } cases[] = {
        { "yh", {} }, // not at the start of the field
        { "zg", { u("中国银行") } },
        { "zgyh", { u("中国银行") } },
        { "zgyx", { u("中国银行") } },
        { "zhongguoyinhang", { u("中国银行") } },
        { "zhongguo yinxing", { u("中国银行") } },
        { "ZGYH", { u("中国银行") } },
        { "cqy", { u("重庆医院") } },
        { "zqyy", { u("重庆医院") } },
        { "chongqing", { u("重庆医院") } },
        { "zhongqing", { u("重庆医院") } },
        { "医院", { u("重庆医院"), u("醫院管理局") } },
        { "醫院", { u("重庆医院"), u("醫院管理局") } },
        { "yy", { u("醫院管理局") } },
        { "yiyuanguanli", { u("醫院管理局") } },
        { "xg", { u("醫院管理局") } },
        { "cc", { u("长城饭店") } },
        { "zc", { u("长城饭店") } },
        { "changcheng", { u("长城饭店") } },
        { "长城", { u("长城饭店") } },
        { "ls", { u("乐山大佛") } },
        { "yueshan", { u("乐山大佛") } },
        { "ct", { u("CT检查") } },
        { "ctjc", { u("CT检查") } },
        { "ct检", { u("CT检查") } },
        { "b超", { u("B超 2号室") } },
        { "bc2", { u("B超 2号室") } },
        { "2号", { u("B超 2号室") } },
        { "o'b", { u("O'Brien诊所") } },
        { "'", { u("O'Brien诊所") } },
        { "xcg", { u("血常规") } },
        { "xuechanggui", { u("血常规") } },
        { "xiechang", { u("血常规") } },
        { "123", { u("单位123") } },
        { "dw", { u("单位123") } },
        { "shanwei", { u("单位123") } },
        { "", {} },
        { "   ", {} },
        { "qqqq", {} },
        { "yhx", {} },
        { "行银", {} },
    };
    for (const auto& c : cases) {
        QStringList got = found(c.query);
        QStringList expected = c.expected;
        got.sort();
        expected.sort();
        EXPECT_EQ(got, expected) << c.query;
    }
}

TEST_F(SearchIndexTest, RanksExactAndPrefixOfFirstColumnFirst)
{
    station.execute(
        u("insert into inquiry (d1, d2) values (N'新医院', N'x'), (N'医院', N'y'), (N'x', N'医院'), "
          "(N'人民医院', N'医院')"));
    SearchIndex::rebuild(connection(), columns);
    // A record found through both its columns comes once.
    const QStringList got = found("医院");
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(got.value(0), u("医院"));
    EXPECT_EQ(got.value(1), u("醫院管理局"));
}

TEST_F(SearchIndexTest, KeptByEditsAndDeletes)
{
    station.execute(u("update inquiry set d1 = N'人民银行' where d1 = N'中国银行'"));
    SearchIndex::add(connection(), columns, { u("D1"), u("d26") }, { u("人民银行"), u("12") });
    EXPECT_EQ(found("rmyh"), QStringList { u("人民银行") });
    EXPECT_TRUE(found("zgyh").isEmpty());
    station.execute(u("delete from inquiry where d1 = N'人民银行'"));
    EXPECT_TRUE(found("rmyh").isEmpty());
    // A restore brings back records whose values the index still holds, and a rebuild the rest.
    station.execute(u("insert into inquiry (d1) values (N'人民银行'), (N'新华书店')"));
    EXPECT_EQ(found("rmyh"), QStringList { u("人民银行") });
    SearchIndex::rebuild(connection(), columns);
    EXPECT_EQ(found("xhsd"), QStringList { u("新华书店") });
    // A value of blanks alone has no key, and the record's other values are still kept.
    station.execute(u("update inquiry set d1 = N'光明日报', d2 = N' ' where d1 = N'新华书店'"));
    SearchIndex::add(connection(), columns, { u("d1"), u("d2") }, { u("光明日报"), u(" ") });
    EXPECT_EQ(found("gmrb"), QStringList { u("光明日报") });
    // An edit's value with a quote is numbered after the others and found every way.
    station.execute(u("insert into inquiry (d1) values (N'O''行')"));
    SearchIndex::add(connection(), columns, { u("d1") }, { u("O'行") });
    SearchIndex::add(connection(), columns, { u("d1") }, { u("O'行") });
    for (const char* query : { "o'x", "o'hang", "'行", "O'行" })
        EXPECT_EQ(found(query), QStringList { u("O'行") }) << query;
}

TEST_F(SearchIndexTest, AllColumnsAreTheRecordsOwnAndTheRank)
{
    EXPECT_EQ(station.rows(SearchStatements::records(u("*"), columns, u("zgyh"))).join(u("\n")),
        station.rows(u("select *, 1 from inquiry where d1 = N'中国银行'")).join(u("\n")));
}

TEST_F(SearchIndexTest, LongTextsAndQueries)
{
    // Past the length of a key the text is still compared whole, and a reading by its start.
    const QString longText = u("中国银行") + QString(50, u'x') + u("终点");
    station.execute(u("insert into inquiry (d1) values (N'%1')").arg(longText));
    SearchIndex::rebuild(connection(), columns);
    const QString normalised = SearchKeys::normalisedQuery(longText);
    EXPECT_EQ(found(normalised.toUtf8().constData()), QStringList { longText });
    EXPECT_EQ(found("终点"), QStringList { longText });
    EXPECT_EQ(found((u("zgyh") + QString(60, u'x')).toUtf8().constData()), QStringList { longText });
}

TEST_F(SearchIndexTest, RebuildTellsProgress)
{
    long lastDone = 0, lastTotal = 0;
    SearchIndex::rebuild(connection(), columns, [&](long done, long total) {
        lastDone = done;
        lastTotal = total;
    });
    EXPECT_EQ(lastTotal, 20);
    EXPECT_EQ(lastDone, 20);
}

} // namespace

#include "data/StatementRecorder.h"
#include "query/QueryDialog.h"
#include "settings/SettingsFile.h"
#include "ui/SharedFonts.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QTest>

namespace {

TEST(SearchScreenTest, TypedTextShowsTheMatchingRecordsPaged)
{
    QueryStation station(demoSettings());
    station.importDemoRecords();
    glimora::settings::WriteSetting(u("show"), u("search"), u("1"));
    glimora::query::QueryDialog dialog;
    ASSERT_TRUE(dialog.isReady());
    SearchIndex::rebuild(glimora::data::SharedDatabase::connection(), SearchIndex::columns());
    auto* entry = dialog.findChild<QLineEdit*>(QStringLiteral("searchEntry"));
    ASSERT_NE(entry, nullptr);
    // The entry keeps to the top right corner, clear of the centred title, at every size.
    dialog.show();
    for (const int width : { 1280, 1024 }) {
        dialog.resize(width, 800);
        const int titleWidth = QFontMetrics(glimora::ui::sharedFont(2))
                                   .horizontalAdvance(glimora::query::QueryDialog::reportTitle());
        EXPECT_EQ(entry->geometry().right(), width - 11);
        EXPECT_GT(entry->geometry().left(), (width + titleWidth) / 2);
    }
    dialog.resize(1280, 800);

    glimora::data::StatementRecorder::start();
    QTest::keyClicks(entry, QStringLiteral("zs"));
    // Nothing is sent while the visitor types on.
    EXPECT_TRUE(glimora::data::StatementRecorder::statements().isEmpty());
    QTest::qWait(400);
    const QString select = glimora::settings::ReadSetting(u("select"), u("select"), QString());
    const QString expected = SearchStatements::records(select, SearchIndex::columns(), u("zs"));
    EXPECT_EQ(glimora::data::StatementRecorder::statements(), QStringList { expected });
    glimora::data::StatementRecorder::stop();
    const long found = station.rows(expected).size();
    EXPECT_GT(found, 0);
    glimora::data::Recordset cursor = dialog.resultCursor();
    EXPECT_EQ(cursor.RecordCount(), found);
    dialog.grab().save(u("/tmp/search-zs.png"));

    // A search that finds nothing says so, not that the station is misconfigured.
    entry->setText(u("qqqq"));
    QTest::keyClick(entry, Qt::Key_Q);
    QTest::qWait(400);
    EXPECT_TRUE(dialog.resultCursor().EndOfFile());
    EXPECT_EQ(dialog.searchFoundNothing(), u("没有找到与“qqqqq”相符的记录。"));

    // Emptied, the entry gives back the drill-down's records.
    entry->selectAll();
    QTest::keyClick(entry, Qt::Key_Backspace);
    QTest::qWait(400);
    EXPECT_EQ(dialog.resultCursor().RecordCount(), 480);
}

} // namespace
