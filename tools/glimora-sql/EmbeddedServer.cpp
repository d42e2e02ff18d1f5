#include "tools/glimora-sql/EmbeddedServer.h"

#include "data/DbError.h"
#include "engine/server/Catalogue.h"
#include "engine/server/EmbeddedBackend.h"

namespace glimora::tools {

std::shared_ptr<data::Backend> makeEmbeddedBackend(const QString& dataDirectory)
{
    return std::make_shared<engine::EmbeddedBackend>(dataDirectory);
}

QStringList recoverCatalogue(const QString& dataDirectory, const QString& saPassword)
{
    try {
        return engine::Catalogue(dataDirectory).recover(saPassword);
    } catch (const engine::ServerError& error) {
        throw data::DbError(
            data::DbError::ProviderFailure, error.message(), error.number(), error.severity(), error.state());
    }
}

} // namespace glimora::tools
