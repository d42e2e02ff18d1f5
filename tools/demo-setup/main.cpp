// Prepares the demo station's embedded server once: sets the sa password, creates the
// database and its catalogue as the first login would, and imports the demo records
// with the station's own import statement.
#include "app/EmbeddedServerSetup.h"
#include "settings/SettingsFile.h"
#include "backoffice/LoginStatements.h"
#include "data/Backend.h"
#include "data/BackendRouter.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

using namespace glimora;

namespace {

void run(data::BackendSession& session, const QString& batch, bool failureIgnored)
{
    try {
        session.execute(batch, 0);
    } catch (const data::DbError& error) {
        if (!failureIgnored)
            throw;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: glimora-demo-setup <sa password> <records workbook>\n";
        return 2;
    }
    const QString password = QString::fromLocal8Bit(argv[1]);
    const QString records = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2]));
    const QString database = app::ReadSetting(QStringLiteral("system"), QStringLiteral("database"), QStringLiteral("nivo"));

    try {
        app::registerEmbeddedServer();
        const QString connectionString = data::ConnectionString::fromTemplate(
            QString(), QStringLiteral("sa"), password, QStringLiteral("(LOCAL)"), QString());
        auto session = data::BackendRouter::embeddedBackend()->open(connectionString, 30);

        run(*session, backoffice::LoginStatements::createDatabase(database), true);
        const QString catalogue = QDir::current().absoluteFilePath(QStringLiteral("Contrast.XLS"));
        run(*session, backoffice::LoginStatements::createTables(database, catalogue), true);

        run(*session, QStringLiteral("use ") + database, false);
        const QString importTail = app::ReadSetting(QStringLiteral("insert"), QStringLiteral("inserttext"), QString());
        QString importStatement = QStringLiteral("insert inquiry") + importTail;
        importStatement.replace(QStringLiteral("?%"), records);
        run(*session, importStatement, false);
    } catch (const data::DbError& error) {
        err << "glimora-demo-setup: " << error.description() << '\n';
        return 1;
    }
    return 0;
}
