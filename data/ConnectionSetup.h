#pragma once

#include "data/BackendRouter.h"

#include <QString>

namespace glimora::data {

// How this station reaches its server, as section `system` of uinfo.ini says: the `connect`
// template (empty: the built-in one, and the embedded server for this computer) and the
// `engine` choice. Read here only, so that every connection is made the same way.
struct ConnectionSetup
{
    QString connectTemplate;
    QString engine = QStringLiteral("auto");

    static ConnectionSetup fromSettings();

    // The connection string of a login for `databasePart` (empty: no database named).
    QString connectionString(const QString& userName, const QString& password, const QString& serverName,
        const QString& databasePart) const;
    BackendRouter::Route route(const QString& serverName) const;
};

} // namespace glimora::data
