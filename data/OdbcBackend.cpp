#include "data/OdbcBackend.h"

#include "data/OdbcHandle.h"
#include "data/OdbcSession.h"

#include <sqlext.h>

namespace glimora::data {

std::shared_ptr<Backend> OdbcBackend::create()
{
    return std::make_shared<OdbcBackend>();
}

OdbcBackend::OdbcBackend() = default;

OdbcBackend::~OdbcBackend() = default;

std::unique_ptr<BackendSession> OdbcBackend::open(
    const QString& connectionString, int connectionTimeoutSeconds)
{
    if (!m_environment) {
        auto environment = std::make_shared<OdbcHandle>(SQL_HANDLE_ENV, nullptr);
        environment->check(SQLSetEnvAttr(environment->get(), SQL_ATTR_ODBC_VERSION,
                               reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
            "SQLSetEnvAttr");
        m_environment = std::move(environment);
    }
    return std::make_unique<OdbcSession>(m_environment, connectionString, connectionTimeoutSeconds);
}

} // namespace glimora::data
