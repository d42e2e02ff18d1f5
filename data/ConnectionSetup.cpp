#include "data/ConnectionSetup.h"

#include "data/ConnectionString.h"
#include "settings/SettingsFile.h"

namespace glimora::data {

ConnectionSetup ConnectionSetup::fromSettings()
{
    const QString system = QStringLiteral("system");
    ConnectionSetup setup;
    setup.connectTemplate = settings::ReadSetting(system, QStringLiteral("connect"), QString());
    setup.engine = settings::ReadSetting(system, QStringLiteral("engine"), QStringLiteral("auto"));
    return setup;
}

QString ConnectionSetup::connectionString(const QString& userName, const QString& password,
    const QString& serverName, const QString& databasePart) const
{
    return ConnectionString::fromTemplate(connectTemplate, userName, password, serverName, databasePart);
}

BackendRouter::Route ConnectionSetup::route(const QString& serverName) const
{
    return BackendRouter::route(serverName, connectTemplate, engine);
}

} // namespace glimora::data
