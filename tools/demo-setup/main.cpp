// Prepares the demo station's embedded server once: sets the sa password, creates the
// database and its catalogue as the first login would, and imports the demo records
// with the station's own import statement. Two records in three get a picture drawn by
// DemoPictures.
#include "backoffice/LoginStatements.h"
#include "data/Backend.h"
#include "data/BackendRouter.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedServerSetup.h"
#include "query/SearchIndex.h"
#include "settings/SettingsFile.h"

#include "data/Variant.h"
#include "tools/demo-setup/DemoPictures.h"

#include <QDir>
#include <QGuiApplication>
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

void addPictures(data::BackendSession& session)
{
    struct Record
    {
        qint64 key;
        QStringList texts;
    };
    QList<Record> records;
    data::ExecuteResult result
        = session.execute(QStringLiteral("select d60,d1,d2,d3,d4 from inquiry order by d60"), 0);
    QList<data::Variant> row;
    while (result.cursor && result.cursor->fetchRow(row)) {
        Record record { qint64(row[0].toDouble()), {} };
        for (int i = 1; i < row.size(); ++i)
            record.texts << row[i].toString().trimmed();
        records << record;
    }
    result = data::ExecuteResult();
    for (const Record& record : records) {
        if (record.key % 3 == 0)
            continue;
        const QByteArray picture = tools::DemoPictures::draw(
            record.texts[0], record.texts[1], record.texts[2], record.texts[3], int(record.key));
        run(session,
            QStringLiteral("update inquiry set d51=0x%1 where d60=%2")
                .arg(QString::fromLatin1(picture.toHex()))
                .arg(record.key),
            false);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // The pictures are drawn with fonts, which need a platform; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: glimora-demo-setup <sa password | -> <records workbook>\n";
        return 2;
    }
    // "-" reads it from the first line of the standard input: an argument is visible to every
    // user of the machine for as long as the setup runs.
    QString password = QString::fromLocal8Bit(argv[1]);
    if (password == QLatin1String("-")) {
        password = QTextStream(stdin).readLine();
        if (password.isEmpty()) {
            err << "glimora-demo-setup: no password on the standard input\n";
            return 2;
        }
    }
    const QString records = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2]));
    const QString database
        = settings::ReadSetting(QStringLiteral("system"), QStringLiteral("database"), QStringLiteral("nivo"));

    try {
        engine::registerEmbeddedServer();
        const QString connectionString = data::ConnectionString::fromTemplate(
            QString(), QStringLiteral("sa"), password, QStringLiteral("(LOCAL)"), QString());
        auto session = data::BackendRouter::embeddedBackend()->open(connectionString, 30);

        run(*session, backoffice::LoginStatements::createDatabase(database), true);
        const QString catalogue = QDir::current().absoluteFilePath(QStringLiteral("Contrast.XLS"));
        run(*session, backoffice::LoginStatements::createTables(database, catalogue), true);

        run(*session, QStringLiteral("use ") + database, false);
        const QString importTail
            = settings::ReadSetting(QStringLiteral("insert"), QStringLiteral("inserttext"), QString());
        QString importStatement = QStringLiteral("insert inquiry") + importTail;
        importStatement.replace(QStringLiteral("?%"), records);
        run(*session, importStatement, false);
        addPictures(*session);
        if (query::SearchIndex::enabled()) {
            data::Connection connection = data::Connection::create();
            connection.Open(data::ConnectionString::fromTemplate(
                QString(), QStringLiteral("sa"), password, QStringLiteral("(LOCAL)"), database));
            query::SearchIndex::rebuild(connection, query::SearchIndex::columns());
        }
    } catch (const data::DbError& error) {
        err << "glimora-demo-setup: " << error.description() << '\n';
        return 1;
    }
    return 0;
}
