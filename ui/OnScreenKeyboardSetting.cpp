#include "ui/OnScreenKeyboardSetting.h"

#include "platform/PhysicalKeyboard.h"
#include "settings/SettingsFile.h"

namespace glimora::ui {

namespace {

const QString Section = QStringLiteral("show");
const QString Key = QStringLiteral("osk");

} // namespace

OnScreenKeyboardSetting::Scope OnScreenKeyboardSetting::scope()
{
    const int value = settings::ReadSettingInt(Section, Key, QStringLiteral("0"));
    return value == QueryScreen || value == Everywhere ? Scope(value) : Off;
}

bool OnScreenKeyboardSetting::covers(Scope needed)
{
    const Scope set = scope();
    if (needed == Off || set == Off)
        return false;
    return set >= needed || !platform::PhysicalKeyboard::attached();
}

bool OnScreenKeyboardSetting::setScope(Scope scope)
{
    return settings::WriteSetting(Section, Key, QString::number(int(scope)));
}

} // namespace glimora::ui
