// glimora-server: the embedded server of a data folder, served to other stations over TCP
// in SQL Server's own protocol (TDS 7.4).

#include "engine/server/EmbeddedBackend.h"
#include "engine/tds/TdsServer.h"

#include <csignal>
#include <cstdlib>
#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTextStream>
#include <sys/socket.h>
#include <unistd.h>

using namespace glimora;

namespace {

const char* const Usage
    = "usage: glimora-server --data-dir folder [--listen address:port] [--max-sessions n]\n"
      "Serves the embedded server's folder in TDS 7.4 on 127.0.0.1:1433 unless told otherwise.\n"
      "Port 0 takes a free port; the address and port taken are printed on the first line.\n";

struct Options
{
    QString dataDirectory;
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 1433;
    int sessions = 64;
};

// The address part of --listen: an address, or "localhost".
bool parseListen(const QString& text, Options& options, QTextStream& err)
{
    const qsizetype colon = text.lastIndexOf(u':');
    const QString host = colon < 0 ? text : text.left(colon);
    if (colon >= 0) {
        bool ok = false;
        const uint port = text.mid(colon + 1).toUInt(&ok);
        if (!ok || port > 65535) {
            err << "glimora-server: not a port: " << text.mid(colon + 1) << Qt::endl;
            return false;
        }
        options.port = quint16(port);
    }
    QString bare = host;
    if (bare.startsWith(u'[') && bare.endsWith(u']'))
        bare = bare.mid(1, bare.size() - 2);
    if (bare.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        options.address = QHostAddress(QHostAddress::LocalHost);
    } else if (!options.address.setAddress(bare)) {
        err << "glimora-server: not an address: " << host << Qt::endl;
        return false;
    }
    // Logins and passwords would cross the network in the clear until TLS is there.
    if (!options.address.isLoopback()) {
        err << "glimora-server: refusing to listen on " << bare
            << ": this server does not encrypt yet, so it listens on a loopback address only "
               "(127.0.0.1 or ::1)"
            << Qt::endl;
        return false;
    }
    return true;
}

bool parse(const QStringList& arguments, Options& options, QTextStream& err)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == QLatin1String("--help") || i + 1 >= arguments.size()) {
            err << Usage;
            return false;
        }
        const QString value = arguments[++i];
        if (option == QLatin1String("--data-dir")) {
            options.dataDirectory = value;
        } else if (option == QLatin1String("--listen")) {
            if (!parseListen(value, options, err))
                return false;
        } else if (option == QLatin1String("--max-sessions")) {
            bool ok = false;
            options.sessions = value.toInt(&ok);
            if (!ok || options.sessions < 1) {
                err << "glimora-server: --max-sessions takes a number of 1 or more" << Qt::endl;
                return false;
            }
        } else {
            err << Usage;
            return false;
        }
    }
    if (options.dataDirectory.isEmpty()) {
        err << Usage;
        return false;
    }
    return true;
}

int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);
    Options options;
    if (!parse(application.arguments(), options, err))
        return 2;
    if (!QDir().mkpath(options.dataDirectory)) {
        err << "glimora-server: cannot make the folder " << options.dataDirectory << Qt::endl;
        return 1;
    }

    auto backend = std::make_shared<engine::EmbeddedBackend>(options.dataDirectory);
    engine::tds::TdsServer::Limits limits;
    limits.sessions = options.sessions;
    engine::tds::TdsServer server(backend, limits);
    if (!server.listen(options.address, options.port)) {
        err << "glimora-server: cannot listen on " << options.address.toString() << ':' << options.port
            << ": " << server.errorString() << Qt::endl;
        return 1;
    }
    out << "glimora-server: listening on " << server.serverAddress().toString() << ':' << server.serverPort()
        << Qt::endl;

    // SIGTERM and SIGINT end the event loop, so that open sessions close cleanly.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &application);
        QObject::connect(notifier, &QSocketNotifier::activated, &application, &QCoreApplication::quit);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
    }
    const int status = application.exec();
    if (!server.stop(5000)) {
        err << "glimora-server: stopped with " << server.openSessions() << " sessions still at work"
            << Qt::endl;
        std::_Exit(status);
    }
    return status;
}
