#include "data/DbError.h"
#include "tools/glimora-sql/EmbeddedServer.h"

namespace glimora::tools {

std::shared_ptr<data::Backend> makeEmbeddedBackend(const QString&)
{
    throw data::DbError(data::DbError::ProviderFailure,
        QStringLiteral("The embedded server is not built into this glimora-sql."));
}

} // namespace glimora::tools
