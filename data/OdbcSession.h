#pragma once

#include "data/Backend.h"

#include <memory>

namespace glimora::data {

class OdbcHandle;

// One ODBC connection.
class OdbcSession : public BackendSession
{
public:
    OdbcSession(std::shared_ptr<OdbcHandle> environment, const QString& connectionString,
        int connectionTimeoutSeconds);
    ~OdbcSession() override;

    ExecuteResult execute(const QString& batch, int commandTimeoutSeconds) override;
    QStringList primaryKeyColumns(const QString& table) override;
    QString identityColumn(const QString& table) override;
    QString currentDatabase() const override;

private:
    std::shared_ptr<OdbcHandle> m_environment; // outlives the connection handle
    std::shared_ptr<OdbcHandle> m_connection;
    bool m_connected = false;
};

} // namespace glimora::data
