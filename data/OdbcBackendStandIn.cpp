#include "data/DbError.h"
#include "data/OdbcBackend.h"

namespace glimora::data {

std::shared_ptr<Backend> OdbcBackend::create()
{
    return std::make_shared<OdbcBackend>();
}

OdbcBackend::OdbcBackend() = default;
OdbcBackend::~OdbcBackend() = default;

std::unique_ptr<BackendSession> OdbcBackend::open(const QString&, int)
{
    throw DbError(DbError::ProviderFailure, QStringLiteral("This program was built without ODBC."));
}

} // namespace glimora::data
