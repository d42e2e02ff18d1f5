#include "ui/ContrastSetting.h"

#include "settings/SettingsFile.h"

namespace glimora::ui {

bool ContrastSetting::enabled()
{
    return settings::ReadSwitch(QStringLiteral("show"), QStringLiteral("contrast"));
}

bool ContrastSetting::setEnabled(bool on)
{
    return settings::WriteSwitch(QStringLiteral("show"), QStringLiteral("contrast"), on);
}

} // namespace glimora::ui
