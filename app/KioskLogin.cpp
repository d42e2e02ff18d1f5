#include "app/KioskLogin.h"

#include "app/KioskCredentials.h"
#include "backoffice/LoginConnection.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "platform/ComputerName.h"
#include "platform/EventLog.h"
#include "settings/Settings.h"

namespace glimora::app {

QString kioskLogIn()
{
    QString problem;
    const std::optional<KioskCredentials> credentials = KioskCredentials::read(problem);
    if (!credentials)
        return problem;

    data::SharedDatabase::createObjects();
    data::LoginValues& login = data::SharedDatabase::login();
    login.computerName = platform::computerName();
    login.serverName = credentials->server;
    login.userName = credentials->user;
    login.password = credentials->password;
    login.databaseName = settings::Settings::instance().database;
    try {
        backoffice::LoginConnection::open(login);
    } catch (const data::DbError& error) {
        platform::EventLog::write(platform::EventLog::Event::LoginRefused,
            backoffice::LoginConnection::logName(login, false) + QStringLiteral(" (kiosk): ")
                + error.description(),
            error.nativeError());
        return QString::fromUtf8("以登录凭据文件 %1 中的用户 %2 登录服务器 %3 失败。服务器的回答：%4")
            .arg(KioskCredentials::location(), login.userName, login.serverName, error.description());
    }
    platform::EventLog::write(platform::EventLog::Event::Login,
        backoffice::LoginConnection::logName(login, false) + QStringLiteral(" (kiosk)"));
    backoffice::LoginConnection::createDatabaseIfNew();
    return QString();
}

} // namespace glimora::app
