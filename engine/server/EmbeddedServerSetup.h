#pragma once

#include <QString>

namespace glimora::engine {

// The embedded server's folder: setting `datadir` of section `system`, relative to the
// settings directory, "sqldata" by default.
QString embeddedDataDirectory();

// Makes the embedded server the backend for local server names.
void registerEmbeddedServer();

} // namespace glimora::engine
