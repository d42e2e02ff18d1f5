#include "data/ConnectionLoss.h"

#include "data/DbError.h"

namespace glimora::data {

bool isConnectionLost(const DbError& error)
{
    // SQLSTATE class 08 is the connection's. A time-out (HYT00 of a statement, HYT01 of the
    // connection) counts too: behind a pulled cable the driver reports nothing else for many
    // minutes, and a reconnect tells a slow server from a lost one.
    const QString state = error.sqlState();
    if (state.startsWith(QLatin1String("08")) || state == QLatin1String("HYT00")
        || state == QLatin1String("HYT01"))
        return true;
    switch (error.nativeError()) {
    case 945: // the database's files are out of reach: the embedded server's folder is gone
    case 2: // named pipes: the server is not found
    case 53: // the network path is not found
    case 233: // no process on the other end of the pipe
    case 10053: // the connection was aborted on this side
    case 10054: // the connection was closed by the server (also a killed session)
    case 10060: // the server does not answer
    case 10061: // the server refuses: it is not running
    case 11001: // the server's name is not known
    case 20004: // FreeTDS: reading from the server failed
    case 20006: // FreeTDS: writing to the server failed
    case 20009: // FreeTDS: the server cannot be reached
    case 20017: // FreeTDS: the server closed the connection
        return true;
    default:
        break;
    }
    // The data layer's own: the connection it was to use is closed.
    return error.code() == DbError::ConnectionInvalid;
}

} // namespace glimora::data
