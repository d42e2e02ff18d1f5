// Measures what a refused login costs: an unknown login against a known login with a wrong
// password, on the first try of a process and on average. The two must cost the same, or
// timing tells which logins exist. Prints the times and their ratio.
//
//   glimora_login_timing_bench [tries]        (default: 10)
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace glimora;

namespace {

double refusedLoginMilliseconds(engine::EmbeddedBackend& backend, const QString& login)
{
    QElapsedTimer timer;
    timer.start();
    try {
        backend.open(QStringLiteral("Driver={SQL Server};Server=.;Uid=%1;pwd=wrong").arg(login), 5);
    } catch (const data::DbError&) {
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int tries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir directory;
    const QString folder = directory.filePath(QStringLiteral("sqldata"));
    {
        engine::EmbeddedBackend setup(folder);
        setup.open(QStringLiteral("Driver={SQL Server};Server=.;Uid=sa;pwd=bench"), 5)
            ->execute(QStringLiteral("Exec sp_addlogin 'clerk','right-one'"), 0);
    }
    // A new server, as a process that has just started.
    engine::EmbeddedBackend backend(folder);
    const double firstUnknown = refusedLoginMilliseconds(backend, QStringLiteral("nobody"));
    const double firstWrong = refusedLoginMilliseconds(backend, QStringLiteral("clerk"));
    double unknown = 0;
    double wrong = 0;
    for (int i = 0; i < tries; ++i) {
        unknown += refusedLoginMilliseconds(backend, QStringLiteral("nobody%1").arg(i));
        wrong += refusedLoginMilliseconds(backend, QStringLiteral("clerk"));
    }
    std::printf("Refused logins, unknown login against wrong password (ms):\n");
    std::printf(
        "  first try   %8.1f  %8.1f  ratio %5.2f\n", firstUnknown, firstWrong, firstUnknown / firstWrong);
    std::printf(
        "  mean of %-3d %8.1f  %8.1f  ratio %5.2f\n", tries, unknown / tries, wrong / tries, unknown / wrong);
    return 0;
}
