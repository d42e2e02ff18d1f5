#include "data/DbError.h"
#include "tests/fuzz/FuzzTargets.h"
#include "tests/fuzz/ScratchServer.h"

#include <memory>

namespace glimora::fuzz {

namespace {

// Long enough for the statements the station sends and for a person's script.
constexpr size_t largestBatch = 64 * 1024;

// The only failure a client may see without a server message number is its own time-out.
bool isServerError(const data::DbError& error)
{
    if (error.description().isEmpty())
        return false;
    return error.nativeError() > 0 || error.description() == QLatin1String("Query timeout expired");
}

void readEverything(data::ExecuteResult& result)
{
    if (!result.cursor)
        return;
    QList<data::Variant> row;
    do {
        while (result.cursor->fetchRow(row)) { }
    } while (result.cursor->nextResultSet());
}

} // namespace

int sqlBatch(const uint8_t* data, size_t size)
{
    if (size > largestBatch)
        return 0;
    static std::unique_ptr<ScratchServer> server;
    if (!server)
        server = std::make_unique<ScratchServer>();

    const QString batch = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    // A backup writes wherever its path points; keep it inside the scratch folder.
    if (batch.contains(QLatin1String("backup"), Qt::CaseInsensitive) && batch.contains(u'/'))
        return 0;
    {
        auto session = server->connect();
        try {
            data::ExecuteResult result = session->execute(batch, 1);
            readEverything(result);
        } catch (const data::DbError& error) {
            fuzzCheck(isServerError(error), "a failed batch carries a server error",
                qPrintable(QString::number(error.nativeError()) + u' ' + error.description()));
        }
    }
    if (!server->reset())
        server = std::make_unique<ScratchServer>();
    return 0;
}

} // namespace glimora::fuzz
