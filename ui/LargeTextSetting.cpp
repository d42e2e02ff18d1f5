#include "ui/LargeTextSetting.h"

#include "settings/SettingsFile.h"

namespace glimora::ui {

namespace {

const QString Section = QStringLiteral("show");
const QString Key = QStringLiteral("largetext");

} // namespace

LargeTextSetting::Mode LargeTextSetting::mode()
{
    const int value = settings::ReadSettingInt(Section, Key, QStringLiteral("0"));
    return value == Button || value == StartLarge ? Mode(value) : Off;
}

bool LargeTextSetting::setMode(Mode mode)
{
    return settings::WriteSetting(Section, Key, QString::number(int(mode)));
}

} // namespace glimora::ui
