#include "ui/ScreenPolish.h"

#include "settings/SettingsFile.h"

namespace glimora::ui {

bool ScreenPolish::enabled()
{
    return settings::ReadSettingInt(QStringLiteral("show"), QStringLiteral("polish"), QStringLiteral("0"))
        != 0;
}

bool ScreenPolish::setEnabled(bool on)
{
    return settings::WriteSetting(
        QStringLiteral("show"), QStringLiteral("polish"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace glimora::ui
