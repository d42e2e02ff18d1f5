#pragma once

#include "data/Backend.h"

#include <memory>
#include <QString>
#include <QStringList>

namespace glimora::tools {

// The embedded server keeping its files in `dataDirectory`. Throws DbError when this build
// has no embedded server.
std::shared_ptr<data::Backend> makeEmbeddedBackend(const QString& dataDirectory);

// Rebuilds the lost catalogue of an embedded server's folder with sa's new password and
// returns the databases found; throws DbError when the catalogue is usable.
QStringList recoverCatalogue(const QString& dataDirectory, const QString& saPassword);

} // namespace glimora::tools
