#include "ui/TouchSetting.h"

#include "settings/SettingsFile.h"

namespace glimora::ui {

bool TouchSetting::enabled()
{
    return settings::ReadSwitch(QStringLiteral("show"), QStringLiteral("touch"));
}

bool TouchSetting::setEnabled(bool on)
{
    return settings::WriteSwitch(QStringLiteral("show"), QStringLiteral("touch"), on);
}

} // namespace glimora::ui
