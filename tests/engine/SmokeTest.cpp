#include "tests/engine/EngineTestSupport.h"

using namespace glimora::engine::test;

TEST_F(ServerTest, Smoke)
{
    auto session = stationDatabase();
    Rows r = run(*session, "insert inquiry(d1,d16,d21,d26) values('abc','2012/12/31',12,3.456)");
    EXPECT_EQ(r.rowsAffected, 1);
    r = run(*session, "select d1,d16,d21,d26,d60 from inquiry where d1='ABC  ' and d16<='2012-12-31'");
    ASSERT_EQ(r.rows.size(), 1);
    EXPECT_EQ(r.rows[0].join("|"), "abc|2012-12-31 00:00:00|12|3.46|1");
}
