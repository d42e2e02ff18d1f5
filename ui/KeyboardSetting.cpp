#include "ui/KeyboardSetting.h"

#include "settings/SettingsFile.h"

namespace glimora::ui {

bool KeyboardSetting::enabled()
{
    return settings::ReadSwitch(QStringLiteral("show"), QStringLiteral("keyboard"));
}

bool KeyboardSetting::setEnabled(bool on)
{
    return settings::WriteSwitch(QStringLiteral("show"), QStringLiteral("keyboard"), on);
}

} // namespace glimora::ui
