#include "ui/ScreenPolish.h"

#include "settings/SettingsFile.h"

namespace glimora::ui {

bool ScreenPolish::enabled()
{
    return settings::ReadSwitch(QStringLiteral("show"), QStringLiteral("polish"));
}

bool ScreenPolish::setEnabled(bool on)
{
    return settings::WriteSwitch(QStringLiteral("show"), QStringLiteral("polish"), on);
}

} // namespace glimora::ui
