#include "tests/maintenance/MaintenanceStation.h"

#include "backoffice/LoginStatements.h"
#include "data/BackendRouter.h"
#include "data/Command.h"
#include "data/Connection.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "data/ValueReaders.h"
#include "engine/server/EmbeddedBackend.h"
#include "platform/ComputerName.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "ui/OkMessageBox.h"

using namespace glimora;

namespace {

const QString server = QStringLiteral("(LOCAL)");

data::Recordset run(const QString& connectionString, const QString& batch)
{
    data::Connection connection = data::Connection::create();
    connection.Open(connectionString);
    data::Command command = data::Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandText(batch);
    return command.Execute();
}

QString saConnection(const QString& database)
{
    return data::ConnectionString::fromTemplate(QString(), QStringLiteral("sa"),
        QString::fromLatin1(MaintenanceStation::SaPassword), server, database);
}

} // namespace

MaintenanceStation::MaintenanceStation(const QByteArray& settings, const QString& catalogue)
{
    m_workspace.writeFile(
        QStringLiteral("uinfo.ini"), settings.isEmpty() ? QByteArray("[system]\r\n") : settings);
    m_workspace.seedFromTestData(catalogue, QStringLiteral("Contrast.XLS"));
    settings::setSettingsDirectory(m_workspace.path());
    settings::Settings::instance().load();
    m_backend = std::make_shared<engine::EmbeddedBackend>(m_workspace.filePath(QStringLiteral("sqldata")));
    data::BackendRouter::setEmbeddedBackend(m_backend);

    const QString database = settings::Settings::instance().database;
    run(saConnection(QString()), backoffice::LoginStatements::createDatabase(database));
    run(saConnection(QString()),
        backoffice::LoginStatements::createTables(
            database, m_workspace.filePath(QStringLiteral("Contrast.XLS"))));

    ui::OkMessageBox::clearShownTexts();
    ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);
    logInShared(QStringLiteral("sa"), QString::fromLatin1(SaPassword));
}

MaintenanceStation::~MaintenanceStation()
{
    ui::OkMessageBox::setAutoAnswer(QMessageBox::NoButton);
    ui::OkMessageBox::setNextAnswer(QMessageBox::NoButton);
    data::SharedDatabase::releaseObjects();
    data::BackendRouter::setEmbeddedBackend(nullptr);
    settings::setSettingsDirectory(QString());
}

void MaintenanceStation::logInShared(const QString& user, const QString& password) const
{
    data::SharedDatabase::releaseObjects();
    data::SharedDatabase::createObjects();
    data::LoginValues& login = data::SharedDatabase::login();
    login.serverName = server;
    login.userName = user;
    login.password = password;
    login.databaseName = settings::Settings::instance().database;
    login.computerName = platform::computerName();
    login.connectionString
        = data::ConnectionString::fromTemplate(QString(), user, password, server, login.databaseName);
    data::SharedDatabase::connection().Open(login.connectionString);
    data::SharedDatabase::command().SetActiveConnection(data::SharedDatabase::connection());
}

void MaintenanceStation::execute(const QString& batch) const
{
    run(saConnection(settings::Settings::instance().database), batch);
}

QStringList MaintenanceStation::rows(const QString& query) const
{
    data::Recordset result = run(saConnection(settings::Settings::instance().database), query);
    QStringList texts;
    if (result.State() == data::Recordset::StateClosed)
        return texts;
    for (; !result.EndOfFile(); result.MoveNext()) {
        QStringList cells;
        for (int i = 0; i < result.FieldCount(); ++i) {
            const data::Variant value = result.Item(i).Value();
            if (value.isNull())
                cells << QStringLiteral("NULL");
            else if (value.kind() == data::Variant::Kind::Int32)
                cells << QString::number(value.toInt64());
            else if (value.kind() == data::Variant::Kind::Decimal)
                cells << value.toDecimal().toString();
            else
                cells << data::ValueText(value);
        }
        texts << cells.join(QLatin1Char('|'));
    }
    return texts;
}

QString MaintenanceStation::scalar(const QString& query) const
{
    const QStringList all = rows(query);
    return all.isEmpty() ? QString() : all.first().section(QLatin1Char('|'), 0, 0);
}

QByteArray MaintenanceStation::bytes(const QString& query) const
{
    data::Recordset result = run(saConnection(settings::Settings::instance().database), query);
    if (result.State() == data::Recordset::StateClosed || result.EndOfFile())
        return QByteArray();
    return result.Item(0).Value().toBytes();
}

bool MaintenanceStation::canLogIn(const QString& user, const QString& password) const
{
    try {
        data::Connection connection = data::Connection::create();
        connection.Open(data::ConnectionString::fromTemplate(
            QString(), user, password, server, settings::Settings::instance().database));
        return true;
    } catch (const data::DbError&) {
        return false;
    }
}
