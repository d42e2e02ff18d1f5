// glimora-sql: a console in the manner of sqlcmd for looking into a database through
// either backend of the program.

#include "data/BackendRouter.h"
#include "data/ConnectionSetup.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedServerSetup.h"
#include "tools/glimora-sql/BatchReader.h"
#include "tools/glimora-sql/EmbeddedServer.h"
#include "tools/glimora-sql/SqlConsole.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

using namespace glimora;

namespace {

const char* const Usage
    = "usage: glimora-sql [-S server] [-U login] [-P password] [-d database]\n"
      "                   [-C \"ODBC connection string\"] [--data-dir folder]\n"
      "                   [-Q \"batch\" | -i file] [-t query-timeout] [-l login-timeout]\n"
      "Batches are read from standard input unless -Q or -i is given; a line GO ends a batch.\n"
      "-C goes through ODBC; --data-dir opens the embedded server's folder.\n"
      "glimora-sql --data-dir folder --recover-catalogue -P password rebuilds a lost catalogue:\n"
      "sa gets the password, the folder's database files are registered again, owned by sa.\n";

struct Options
{
    QString server;
    QString login;
    QString password;
    QString database;
    QString connectionString;
    QString dataDirectory;
    QString query;
    QString inputFile;
    bool hasQuery = false;
    bool recoverCatalogue = false;
    int queryTimeout = 0;
    int loginTimeout = 15;
};

// Reads the options; false (with a message) when they do not make sense.
bool parse(const QStringList& arguments, Options& options, QTextStream& err)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == QLatin1String("-?") || option == QLatin1String("--help")) {
            err << Usage;
            return false;
        }
        if (option == QLatin1String("--recover-catalogue")) {
            options.recoverCatalogue = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            err << "glimora-sql: " << option << " needs a value\n" << Usage;
            return false;
        }
        const QString value = arguments[++i];
        if (option == QLatin1String("-S"))
            options.server = value;
        else if (option == QLatin1String("-U"))
            options.login = value;
        else if (option == QLatin1String("-P"))
            options.password = value;
        else if (option == QLatin1String("-d"))
            options.database = value;
        else if (option == QLatin1String("-C"))
            options.connectionString = value;
        else if (option == QLatin1String("--data-dir"))
            options.dataDirectory = value;
        else if (option == QLatin1String("-Q")) {
            options.query = value;
            options.hasQuery = true;
        } else if (option == QLatin1String("-i"))
            options.inputFile = value;
        else if (option == QLatin1String("-t"))
            options.queryTimeout = value.toInt();
        else if (option == QLatin1String("-l"))
            options.loginTimeout = value.toInt();
        else {
            err << "glimora-sql: unknown option " << option << '\n' << Usage;
            return false;
        }
    }
    return true;
}

// The backend and the connection string, as the program would choose them.
std::shared_ptr<data::Backend> chooseBackend(Options& options)
{
    const data::ConnectionSetup setup = data::ConnectionSetup::fromSettings();
    if (options.connectionString.isEmpty()) {
        if (options.server.isEmpty())
            options.server = QStringLiteral("(LOCAL)");
        options.connectionString
            = setup.connectionString(options.login, options.password, options.server, options.database);
    }
    if (!options.dataDirectory.isEmpty())
        return tools::makeEmbeddedBackend(options.dataDirectory);
    if (!options.server.isEmpty()) {
        if (setup.route(options.server) == data::BackendRouter::Route::Embedded)
            return tools::makeEmbeddedBackend(engine::embeddedDataDirectory());
    }
    return data::BackendRouter::odbcBackend();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    // Qt replaces bytes that are not UTF-8; a path or name so changed would be some other one.
    for (int i = 1; i < argc; ++i) {
        const qsizetype offset = tools::BatchReader::invalidUtf8Offset(QByteArray(argv[i]));
        if (offset >= 0) {
            err << "glimora-sql: argument " << i << " is not valid UTF-8 (byte " << offset
                << "); nothing was run\n";
            return 1;
        }
    }
    Options options;
    if (!parse(QCoreApplication::arguments(), options, err))
        return 1;

    if (options.recoverCatalogue) {
        if (options.dataDirectory.isEmpty() || options.password.isEmpty()) {
            err << "glimora-sql: --recover-catalogue needs --data-dir and -P\n" << Usage;
            return 1;
        }
        try {
            const QStringList databases = tools::recoverCatalogue(options.dataDirectory, options.password);
            out << "Catalogue rebuilt in " << QDir(options.dataDirectory).absolutePath()
                << "; sa has the new password. Databases: " << databases.join(QStringLiteral(", ")) << '\n';
        } catch (const data::DbError& error) {
            tools::SqlConsole::printError(err, error);
            return 1;
        }
        return 0;
    }

    QString script;
    if (options.hasQuery) {
        script = options.query;
    } else {
        QFile input(options.inputFile);
        const bool opened = options.inputFile.isEmpty() ? input.open(stdin, QIODevice::ReadOnly)
                                                        : input.open(QIODevice::ReadOnly);
        const QString name
            = options.inputFile.isEmpty() ? QStringLiteral("standard input") : options.inputFile;
        if (!opened) {
            err << "glimora-sql: cannot read " << name << ": " << input.errorString() << '\n';
            return 1;
        }
        QByteArray bytes = input.readAll();
        // Editors on Windows begin a UTF-8 file with a byte-order mark; it is no part of the batch.
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        const qsizetype offset = tools::BatchReader::invalidUtf8Offset(bytes);
        if (offset >= 0) {
            err << "glimora-sql: " << name << " is not valid UTF-8 (byte " << offset
                << "); nothing was run\n";
            return 1;
        }
        script = QString::fromUtf8(bytes);
    }

    std::unique_ptr<data::BackendSession> session;
    try {
        std::shared_ptr<data::Backend> backend = chooseBackend(options);
        session = backend->open(options.connectionString, options.loginTimeout);
    } catch (const data::DbError& error) {
        tools::SqlConsole::printError(err, error);
        return 1;
    }

    tools::SqlConsole console(*session, out, err, options.queryTimeout);
    // -Q runs its text as one batch; scripts are split at GO lines.
    const QStringList batches = options.hasQuery ? QStringList { script } : tools::BatchReader::split(script);
    bool allSucceeded = true;
    for (const QString& batch : batches) {
        if (!console.run(batch))
            allSucceeded = false;
    }
    return allSucceeded ? 0 : 1;
}
