// A second process for the concurrency tests: inserts rows into nivo's inquiry table,
// one statement each, and exits 0 when every insert succeeded.
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"

#include <cstdio>
#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: %s <data folder> <rows> <tag>\n", argv[0]);
        return 2;
    }
    try {
        glimora::engine::EmbeddedBackend backend(arguments[1]);
        auto session = backend.open(
            QStringLiteral("Driver={SQL Server};Server=.;Database=nivo;Uid=sa;pwd=Secret1"), 30);
        const int rows = arguments[2].toInt();
        for (int i = 0; i < rows; ++i)
            session->execute(
                QStringLiteral("insert inquiry(d1,d21) values('%1',%2)").arg(arguments[3]).arg(i), 30);
    } catch (const glimora::data::DbError& error) {
        std::fprintf(stderr, "%s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}
