#include "backoffice/RecentUsers.h"

#include "settings/SettingsFile.h"

namespace glimora::backoffice {

void RecentUsers::remember(const QString& user)
{
    using settings::ReadSetting;
    using settings::WriteSetting;
    const QString system = QStringLiteral("system");
    const QString first = ReadSetting(system, QStringLiteral("user1"), QString());
    const QString second = ReadSetting(system, QStringLiteral("user2"), QString());
    const QString third = ReadSetting(system, QStringLiteral("user3"), QString());

    if (user == first)
        return;
    WriteSetting(system, QStringLiteral("user1"), user);
    WriteSetting(system, QStringLiteral("user2"), first);
    WriteSetting(system, QStringLiteral("user3"), user == second ? third : second);
}

} // namespace glimora::backoffice
