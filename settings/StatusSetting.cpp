#include "settings/StatusSetting.h"

#include <algorithm>

#include "settings/SettingsFile.h"

namespace glimora::settings {

namespace {

const QString section = QStringLiteral("status");

QString read(const char* key)
{
    return ReadSetting(section, QString::fromLatin1(key), QString()).trimmed();
}

} // namespace

bool StatusSetting::enabled()
{
    return read("heartbeat") == QLatin1String("1");
}

bool StatusSetting::setEnabled(bool on)
{
    if (on == enabled())
        return true;
    return WriteSetting(section, QStringLiteral("heartbeat"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

QString StatusSetting::station()
{
    return read("station");
}

int StatusSetting::intervalSeconds()
{
    bool ok = false;
    const int seconds = read("interval").toInt(&ok);
    // Beyond an hour a station would be called offline only hours after it stopped, and the
    // beat's timer would overflow at weeks.
    return ok && seconds > 0 ? std::min(seconds, MaxIntervalSeconds) : DefaultIntervalSeconds;
}

} // namespace glimora::settings
