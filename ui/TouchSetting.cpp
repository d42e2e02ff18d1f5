#include "ui/TouchSetting.h"

#include "settings/SettingsFile.h"

namespace glimora::ui {

bool TouchSetting::enabled()
{
    return settings::ReadSettingInt(QStringLiteral("show"), QStringLiteral("touch"), QStringLiteral("0")) != 0;
}

bool TouchSetting::setEnabled(bool on)
{
    return settings::WriteSetting(
        QStringLiteral("show"), QStringLiteral("touch"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace glimora::ui
