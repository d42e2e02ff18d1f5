#pragma once

#include "data/Backend.h"

#include <memory>

namespace glimora::data {

class OdbcHandle;

// SQL Server (or any ODBC data source) through unixODBC. The connection string goes to the
// driver exactly as given. Built as a stand-in that refuses to open when the program is
// configured without ODBC.
class OdbcBackend : public Backend
{
public:
    static std::shared_ptr<Backend> create();

    OdbcBackend();
    ~OdbcBackend() override;

    std::unique_ptr<BackendSession> open(
        const QString& connectionString, int connectionTimeoutSeconds) override;

private:
    std::shared_ptr<OdbcHandle> m_environment;
};

} // namespace glimora::data
