#include "data/ConnectionLoss.h"
#include "data/DbError.h"

#include <gtest/gtest.h>

using glimora::data::DbError;
using glimora::data::isConnectionLost;

namespace {

DbError odbc(const char* state, int nativeError)
{
    return DbError(DbError::ProviderFailure, QStringLiteral("driver text"), nativeError).setSqlState(state);
}

DbError server(int number, int severity = 16)
{
    return DbError(DbError::ProviderFailure, QStringLiteral("server text"), number, severity);
}

} // namespace

TEST(ConnectionLossTest, TheLinkIsGoneOnlyWhenTheDriverOrServerSaysSo)
{
    // ODBC: communication link failure, not connected, cannot connect, the time-outs that
    // are all a driver reports behind a pulled cable.
    for (const char* state : { "08S01", "08003", "08001", "08004", "HYT00", "HYT01" })
        EXPECT_TRUE(isConnectionLost(odbc(state, 0))) << state;
    // The server's network errors, as drivers and the embedded server give them: a killed
    // session, a stopped server, a pulled cable, FreeTDS's read failure, the embedded
    // server's folder gone.
    for (const int number : { 10054, 10061, 10060, 233, 20004, 20009, 945 })
        EXPECT_TRUE(isConnectionLost(server(number, 20))) << number;
    EXPECT_TRUE(isConnectionLost(DbError::connectionInvalid()));

    // A statement's own fault on a live link: a wrong column, a syntax error, a refused
    // login, the embedded server's lock time-out, the data layer's other errors.
    EXPECT_FALSE(isConnectionLost(odbc("42S22", 207)));
    EXPECT_FALSE(isConnectionLost(odbc("28000", 18456)));
    for (const int number : { 207, 102, 18456, 1222, 4060, 0 })
        EXPECT_FALSE(isConnectionLost(server(number))) << number;
    EXPECT_FALSE(isConnectionLost(DbError::objectClosed()));
    EXPECT_FALSE(isConnectionLost(DbError::noCurrentRecord()));
}
