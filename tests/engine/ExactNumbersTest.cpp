#include "engine/values/DecimalNumber.h"
#include "tests/engine/EngineTestSupport.h"

using namespace glimora;
using namespace glimora::engine;
using namespace glimora::engine::test;

namespace {

class ExactNumbersTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        m_session = stationDatabase();
    }

    QStringList firstRow(const QString& batch) { return run(*m_session, batch).rows.value(0); }

    std::unique_ptr<data::BackendSession> m_session;
};

} // namespace

TEST(DecimalNumberTest, ParsesRoundsAndPrintsExactly)
{
    const auto text
        = [](const char* value) { return DecimalNumber::parse(QByteArrayView(value))->toString(); };
    EXPECT_EQ(text(" -0012.500 "), "-12.500");
    EXPECT_EQ(text(".5"), "0.5");
    EXPECT_EQ(text("99999999999999999999999999999999999999"), "99999999999999999999999999999999999999");
    EXPECT_FALSE(DecimalNumber::parse(QByteArrayView("100000000000000000000000000000000000000")));
    for (const char* bad : { "", "-", ".", "1.2.3", "1e5", "12a", "1,5" })
        EXPECT_FALSE(DecimalNumber::parse(QByteArrayView(bad))) << bad;

    const auto rounded = [](const char* value, int scale, bool cut = false) {
        return DecimalNumber::parse(QByteArrayView(value))->rescaled(scale, cut)->toString();
    };
    EXPECT_EQ(rounded("1.555", 2), "1.56");
    EXPECT_EQ(rounded("2.675", 2), "2.68");
    EXPECT_EQ(rounded("-2.675", 2), "-2.68");
    EXPECT_EQ(rounded("2.665", 2), "2.67"); // away from zero, not to even
    EXPECT_EQ(rounded("-0.004", 2), "0.00");
    EXPECT_EQ(rounded("2.679", 2, true), "2.67");
    EXPECT_EQ(DecimalNumber::fromDouble(1.555)->rescaled(2)->toString(), "1.56");
    EXPECT_EQ(DecimalNumber::fromDouble(-1e20)->toString(), "-100000000000000000000");

    const DecimalNumber two = *DecimalNumber::parse(QByteArrayView("2.0"));
    const DecimalNumber three = DecimalNumber::fromInteger(3);
    EXPECT_EQ(DecimalNumber::divide(two, three, 6)->toString(), "0.666666");
    EXPECT_EQ(DecimalNumber::divide(two.negated(), three, 6)->toString(), "-0.666666");
    const DecimalNumber big = *DecimalNumber::parse(QByteArrayView("99999999999999999999999999999999999999"));
    EXPECT_EQ(DecimalNumber::divide(big, big, 6)->toString(), "1.000000");
    EXPECT_FALSE(DecimalNumber::add(big, DecimalNumber::fromInteger(1)));
    EXPECT_FALSE(DecimalNumber::multiply(big, two));

    // The collation orders by value, whatever the places, and texts after numbers.
    EXPECT_LT(DecimalNumber::compareText("9.5", "10.25"), 0);
    EXPECT_EQ(DecimalNumber::compareText("1.5", "1.50"), 0);
    EXPECT_LT(DecimalNumber::compareText("-10", "-9.99"), 0);
    EXPECT_LT(DecimalNumber::compareText("99999999999999999999999999999999999999", "x"), 0);
    EXPECT_GT(DecimalNumber::compareText("b", "a"), 0);
    // Texts of the same places take a shortcut that must agree with the values.
    const QList<QByteArray> texts = { "0", "7", "10", "00", "09", "0.00", "0.50", "9.99", "10.00", "100.01",
        "-1.00", "-0.50", "+1.00", " 1.00", "1.00 ", "1e2", "1..0", "12.", ".5", "x" };
    for (const QByteArray& left : texts) {
        for (const QByteArray& right : texts) {
            const std::optional<DecimalNumber> a = DecimalNumber::parse(QByteArrayView(left));
            const std::optional<DecimalNumber> b = DecimalNumber::parse(QByteArrayView(right));
            if (!a || !b)
                continue;
            const int got = DecimalNumber::compareText(left, right);
            const int expected = DecimalNumber::compare(*a, *b);
            EXPECT_EQ(got < 0 ? -1
                    : got > 0 ? 1
                              : 0,
                expected < 0       ? -1
                    : expected > 0 ? 1
                                   : 0)
                << left.constData() << " / " << right.constData();
        }
    }
}

TEST_F(ExactNumbersTest, ConversionsRoundHalfAwayFromZeroAndKeepEighteenDigits)
{
    EXPECT_EQ(firstRow("select cast(1.555 as decimal(18,2)), cast('2.675' as decimal(18,2)), "
                       "cast(-2.675 as numeric(18,2)), cast(1.555e0 as decimal(18,2)), "
                       "convert(decimal(18,0), 0.5), cast(12.99 as int), cast(-12.99 as int)"),
        (QStringList { "1.56", "2.68", "-2.68", "1.56", "1", "12", "-12" }));

    run(*m_session,
        "insert inquiry(d21, d26) values(123456789012345678, 1234567890123456.78) "
        "insert inquiry(d21, d26) values(999999999999999999, '0.005') "
        "insert inquiry(d21, d26) values(-999999999999999999, -1234567890123456.785)");
    EXPECT_EQ(run(*m_session, "select d21, d26 from inquiry order by d60").rows,
        (QList<QStringList> { { "123456789012345678", "1234567890123456.78" },
            { "999999999999999999", "0.01" }, { "-999999999999999999", "-1234567890123456.79" } }));
    EXPECT_EQ(errorOf(*m_session, "insert inquiry(d21) values(1000000000000000000)"), 8115);
    EXPECT_EQ(errorOf(*m_session, "insert inquiry(d26) values(10000000000000000)"), 8115);
    EXPECT_EQ(errorOf(*m_session, "insert inquiry(d26) values('1.2.3')"), 8114);
    EXPECT_EQ(column(*m_session, "select count(*) from inquiry"), QStringList { "3" });

    // Beyond 18 digits the server is exact too; the text of the value shows it.
    run(*m_session,
        "create table wide(v decimal(38,10) null) insert wide "
        "values(1234567890123456789012345678.0123456789)");
    EXPECT_EQ(column(*m_session, "select cast(v * 2 as varchar(60)) from wide"),
        QStringList { "2469135780246913578024691356.02469136" }); // scale cut to fit 38 digits
    EXPECT_EQ(errorOf(*m_session, "insert wide values(12345678901234567890123456789)"), 8115);
}

TEST_F(ExactNumbersTest, ArithmeticSumsAndAveragesAreExact)
{
    run(*m_session,
        "insert inquiry(d1, d26) values('a', 1234567890123456.78) insert inquiry(d1, d26) values('a', 0.01) "
        "insert inquiry(d1, d26) values('b', 1) insert inquiry(d1, d26) values('b', 2) "
        "insert inquiry(d1, d26) values('b', 2) insert inquiry(d1, d26) values('c', null)");
    EXPECT_EQ(run(*m_session, "select d1, sum(d26), avg(d26) from inquiry group by d1 order by d1").rows,
        (QList<QStringList> { { "a", "1234567890123456.79", "617283945061728.395000" },
            { "b", "5.00", "1.666666" }, { "c", "NULL", "NULL" } }));
    EXPECT_EQ(firstRow("select d26 * 2, d26 + 0.01, -d26, d26 - 1234567890123456 from inquiry where d1 = 'a' "
                       "and d26 > 1"),
        (QStringList { "2469135780246913.56", "1234567890123456.79", "-1234567890123456.78", "0.78" }));
    EXPECT_EQ(
        firstRow("select 7.0/2, 2.0/3, 1.5 * 1.5, 10 % 3.5, abs(-2.50), round(2.675, 2), round(2.675, 2, 1)"),
        (QStringList { "3.500000", "0.666666", "2.25", "3.0", "2.50", "2.680", "2.670" }));
    EXPECT_EQ(errorOf(*m_session, "select 1.5 / 0"), 8134);
    const Rows typed = run(*m_session, "select sum(d26), 7.0/2 from inquiry");
    EXPECT_EQ(typed.fields[0].precision, 38);
    EXPECT_EQ(typed.fields[0].scale, 2);
    EXPECT_EQ(typed.fields[1].scale, 6);
}

TEST_F(ExactNumbersTest, ComparisonsOrderAndKeysUseTheExactValue)
{
    run(*m_session,
        "insert inquiry(d1, d26) values('big', 1234567890123456.78) insert inquiry(d1, d26) values('ten', "
        "10.5) "
        "insert inquiry(d1, d26) values('nine', 9.5) insert inquiry(d1, d26) values('hundred', 100.25) "
        "insert inquiry(d1, d26) values('minus', -3)");
    // .77 and .78 are the same binary double; they are not the same price.
    EXPECT_EQ(
        column(*m_session, "select d1 from inquiry where d26 = 1234567890123456.78"), QStringList { "big" });
    EXPECT_TRUE(column(*m_session, "select d1 from inquiry where d26 = 1234567890123456.77").isEmpty());
    EXPECT_EQ(column(*m_session, "select d1 from inquiry order by d26"),
        (QStringList { "minus", "nine", "ten", "hundred", "big" }));
    EXPECT_EQ(column(*m_session, "select d1 from inquiry order by 1 desc"),
        (QStringList { "ten", "nine", "minus", "hundred", "big" }));
    EXPECT_EQ(column(*m_session, "select d1 from inquiry where d26 > 10 and d26 < '101' order by d26 desc"),
        (QStringList { "hundred", "ten" }));
    EXPECT_EQ(column(*m_session, "select d1 from inquiry where d26 between 9.50 and 10.5 order by d26"),
        (QStringList { "nine", "ten" }));
    EXPECT_EQ(column(*m_session, "select d1 from inquiry where d26 in (10.50, -3, 7) order by d26"),
        (QStringList { "minus", "ten" }));
    EXPECT_EQ(column(*m_session, "select d1 from inquiry where d26 = d21 + 9.5 or d26 * 2 = 21"),
        QStringList { "ten" });
    EXPECT_EQ(firstRow("select min(d26), max(d26), max(d26 / 2) from inquiry"),
        (QStringList { "-3.00", "1234567890123456.78", "617283945061728.390000" }));
    EXPECT_EQ(firstRow("select isnull(d21, 0), coalesce(d21, d26, 0) from inquiry where d1 = 'ten'"),
        (QStringList { "0", "10.50" }));

    // A key of decimals: 1.5 and 1.50 are one value, and the order is by value.
    run(*m_session,
        "create table prices(price decimal(10,2) not null primary key, name varchar(10) null) "
        "insert prices values(10.5, 'a') insert prices values(9.75, 'b') insert prices values(100, 'c')");
    EXPECT_EQ(errorOf(*m_session, "insert prices values('10.50', 'd')"), 2627);
    EXPECT_EQ(column(*m_session, "select name from prices where price >= 9.75 order by price"),
        (QStringList { "b", "a", "c" }));
    EXPECT_EQ(column(*m_session, "select name from prices where price = 100"), QStringList { "c" });
}

TEST_F(ExactNumbersTest, VariablesAndDefaultsKeepTheirPlaces)
{
    run(*m_session, "create table priced(id int not null, price decimal(9,2) null default 1.5)");
    run(*m_session, "insert priced(id) values(1)");
    EXPECT_EQ(column(*m_session, "select price from priced"), QStringList { "1.50" });
    EXPECT_EQ(
        firstRow("declare @p decimal(18,2) declare @i int set @p = 2.675 set @i = @p select @p, @i, @p * 3"),
        (QStringList { "2.68", "2", "8.04" }));
}
