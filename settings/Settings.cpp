#include "settings/Settings.h"

#include "settings/SettingsFile.h"

#include <QDir>

namespace glimora::settings {

Settings& Settings::instance()
{
    static Settings settings;
    return settings;
}

void Settings::load()
{
    directory = QDir::currentPath();
    setSettingsDirectory(directory);
    database = ReadSetting(QStringLiteral("system"), QStringLiteral("database"), QStringLiteral("nivo"));
}

} // namespace glimora::settings
