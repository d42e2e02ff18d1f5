#include "settings/ChoiceSetting.h"

#include "settings/SettingsFile.h"

namespace glimora::settings {

bool ChoiceSetting::counts()
{
    return ReadSwitch(QStringLiteral("show"), QStringLiteral("counts"));
}

bool ChoiceSetting::setCounts(bool on)
{
    return WriteSwitch(QStringLiteral("show"), QStringLiteral("counts"), on);
}

bool ChoiceSetting::multiSelect()
{
    return ReadSwitch(QStringLiteral("show"), QStringLiteral("multiselect"));
}

bool ChoiceSetting::setMultiSelect(bool on)
{
    return WriteSwitch(QStringLiteral("show"), QStringLiteral("multiselect"), on);
}

bool ChoiceSetting::tidy()
{
    return ReadSwitch(QStringLiteral("show"), QStringLiteral("tidy"));
}

bool ChoiceSetting::setTidy(bool on)
{
    return WriteSwitch(QStringLiteral("show"), QStringLiteral("tidy"), on);
}

} // namespace glimora::settings
