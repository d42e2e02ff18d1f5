#pragma once

#include "data/Backend.h"

#include <memory>
#include <QString>

namespace glimora::tools {

// The embedded server keeping its files in `dataDirectory`. Throws DbError when this build
// has no embedded server.
std::shared_ptr<data::Backend> makeEmbeddedBackend(const QString& dataDirectory);

} // namespace glimora::tools
