#include "settings/ScheduleSetting.h"

#include "settings/SettingsFile.h"

namespace glimora::settings {

bool ScheduleSetting::enabled()
{
    const QString value
        = ReadSetting(QStringLiteral("schedule"), QStringLiteral("backup"), QString()).trimmed();
    return !value.isEmpty() && value != QLatin1String("0");
}

bool ScheduleSetting::setEnabled(bool on)
{
    if (on == enabled())
        return true;
    return WriteSetting(QStringLiteral("schedule"), QStringLiteral("backup"),
        on ? QStringLiteral("daily 02:00") : QStringLiteral("0"));
}

} // namespace glimora::settings
