#include "settings/ReadAloudSetting.h"

#include "settings/SettingsFile.h"

#include <QString>

namespace glimora::settings {

namespace {

const QString section = QStringLiteral("show");
const QString key = QStringLiteral("speech");

} // namespace

bool ReadAloudSetting::enabled()
{
    return ReadSetting(section, key, QString()).trimmed() == QLatin1String("1");
}

bool ReadAloudSetting::setEnabled(bool on)
{
    if (on == enabled())
        return true;
    return WriteSetting(section, key, on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace glimora::settings
