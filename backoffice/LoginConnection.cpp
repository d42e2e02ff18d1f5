#include "backoffice/LoginConnection.h"

#include "backoffice/LoginStatements.h"
#include "data/Command.h"
#include "data/Connection.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QDir>

namespace glimora::backoffice {

namespace {
const QString system = QStringLiteral("system");
}

void LoginConnection::open(data::LoginValues& login)
{
    login.timeout = settings::ReadSettingInt(system, QStringLiteral("outtim"), QStringLiteral("5"));
    data::Connection& connection = data::SharedDatabase::connection();
    connection.SetConnectionTimeout(login.timeout);
    connection.SetCommandTimeout(login.timeout);
    data::SharedDatabase::reopen(QString());
}

void LoginConnection::createDatabaseIfNew()
{
    QString workbook = settings::ReadSetting(system, QStringLiteral("excelpath"), QString());
    if (workbook.isEmpty())
        workbook = QDir::toNativeSeparators(
            settings::Settings::instance().directory + QStringLiteral("/Contrast.XLS"));

    const QString database = settings::Settings::instance().database;
    for (const QString& batch :
        { LoginStatements::createDatabase(database), LoginStatements::createTables(database, workbook) }) {
        try {
            data::Command& command = data::SharedDatabase::command();
            command.SetCommandText(batch);
            command.Execute();
        } catch (const data::DbError&) {
        }
    }
}

QString LoginConnection::logName(const data::LoginValues& login, bool backOffice)
{
    return login.userName + QLatin1Char('@') + login.serverName
        + (backOffice ? QStringLiteral(" (back office)") : QString());
}

} // namespace glimora::backoffice
