// A second process for the backup and session tests: logs in as sa and runs batches.
//   <data folder> <batch>          runs the batch once; exits 0, or 1 with the error
//   <data folder> --hold <db>      keeps a session in <db> and runs "select 1" for every line
//                                  of standard input, answering "ok" or the error
// GLIMORA_TEST_DATA_LIMIT=<bytes> caps the process's heap (RLIMIT_DATA) once logged in:
// the password check alone takes 64 MB. GLIMORA_TEST_ADDRESS_ROOM=<bytes> caps all of its
// memory (RLIMIT_AS) then, at what it holds plus that many bytes.
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <QCoreApplication>
#include <string>
#include <sys/resource.h>

namespace {

// The address space the process holds now, in bytes.
unsigned long long addressSpace()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0)
            return std::strtoull(line.c_str() + 7, nullptr, 10) * 1024;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: %s <data folder> <batch> | --hold <database>\n", argv[0]);
        return 2;
    }
    glimora::engine::EmbeddedBackend backend(arguments[1]);
    const bool hold = arguments[2] == QLatin1String("--hold");
    const QString connection = QStringLiteral("Driver={SQL Server};Server=.;Database=%1;Uid=sa;pwd=Secret1")
                                   .arg(hold ? arguments.value(3) : QString());
    try {
        auto session = backend.open(connection, 30);
        if (const char* limit = std::getenv("GLIMORA_TEST_DATA_LIMIT")) {
            const rlimit data { rlim_t(std::strtoull(limit, nullptr, 10)),
                rlim_t(std::strtoull(limit, nullptr, 10)) };
            setrlimit(RLIMIT_DATA, &data);
        }
        if (const char* room = std::getenv("GLIMORA_TEST_ADDRESS_ROOM")) {
            const rlim_t total = rlim_t(addressSpace() + std::strtoull(room, nullptr, 10));
            const rlimit address { total, total };
            setrlimit(RLIMIT_AS, &address);
        }
        if (!hold) {
            session->execute(arguments[2], 60);
            return 0;
        }
        std::cout << "ready" << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
            try {
                if (line == "reconnect")
                    session = backend.open(connection, 30);
                else
                    session->execute(QStringLiteral("select 1"), 30);
                std::cout << "ok" << std::endl;
            } catch (const glimora::data::DbError& error) {
                std::cout << error.nativeError() << std::endl;
            }
        }
    } catch (const glimora::data::DbError& error) {
        std::fprintf(stderr, "%s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}
