#include "engine/server/EmbeddedServerSetup.h"

#include "data/BackendRouter.h"
#include "engine/server/EmbeddedBackend.h"
#include "settings/SettingsFile.h"

#include <QDir>

namespace glimora::engine {

QString embeddedDataDirectory()
{
    const QString configured = settings::ReadSetting(
        QStringLiteral("system"), QStringLiteral("datadir"), QStringLiteral("sqldata"));
    return QDir(settings::settingsDirectory()).absoluteFilePath(configured);
}

void registerEmbeddedServer()
{
    data::setEmbeddedBackend(std::make_shared<engine::EmbeddedBackend>(embeddedDataDirectory()));
}

} // namespace glimora::engine
