#include "tools/glimora-sql/EmbeddedServer.h"

#include "engine/EmbeddedBackend.h"

namespace glimora::tools {

std::shared_ptr<data::Backend> makeEmbeddedBackend(const QString& dataDirectory)
{
    return std::make_shared<engine::EmbeddedBackend>(dataDirectory);
}

} // namespace glimora::tools
