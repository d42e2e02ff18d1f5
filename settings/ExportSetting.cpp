#include "settings/ExportSetting.h"

#include "settings/SettingsFile.h"

#include <QString>

namespace glimora::settings {

namespace {

const QString section = QStringLiteral("export");
const QString key = QStringLiteral("enabled");

} // namespace

bool ExportSetting::enabled()
{
    return ReadSetting(section, key, QString()).trimmed() == QLatin1String("1");
}

bool ExportSetting::setEnabled(bool on)
{
    if (on == enabled())
        return true;
    return WriteSetting(section, key, on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace glimora::settings
