#include "settings/SnapshotSetting.h"

#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QDir>

namespace glimora::settings {

namespace {

const QString section = QStringLiteral("backup");

} // namespace

int SnapshotSetting::kept()
{
    bool ok = false;
    const int count = ReadSetting(section, QStringLiteral("snapshots"), QString()).trimmed().toInt(&ok);
    return ok && count > 0 ? count : 0;
}

bool SnapshotSetting::setEnabled(bool on)
{
    if (on == enabled())
        return true;
    return WriteSetting(
        section, QStringLiteral("snapshots"), on ? QString::number(DefaultKept) : QStringLiteral("0"));
}

QString SnapshotSetting::folder()
{
    const QString configured = ReadSetting(section, QStringLiteral("snapshotdir"), QString()).trimmed();
    return QDir(Settings::instance().directory)
        .absoluteFilePath(configured.isEmpty() ? QStringLiteral("snapshots") : configured);
}

} // namespace glimora::settings
