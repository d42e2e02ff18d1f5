#include "data/BackendRouter.h"

#include "data/Backend.h"
#include "data/ConnectionSetup.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/OdbcBackend.h"
#include "platform/ComputerName.h"

#include <QMutex>
#include <QMutexLocker>

namespace glimora::data {

namespace {

// Stands in for a backend that is not there, so that opening says why.
class MissingBackend : public Backend
{
public:
    explicit MissingBackend(QString reason)
        : m_reason(std::move(reason))
    {
    }

    std::unique_ptr<BackendSession> open(const QString&, int) override
    {
        throw DbError(DbError::ProviderFailure, m_reason);
    }

private:
    QString m_reason;
};

struct Registry
{
    QMutex mutex;
    std::shared_ptr<Backend> embedded;
    std::shared_ptr<Backend> odbc;
    bool odbcSet = false;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

bool namesThisComputer(const QString& serverName)
{
    const QString name = serverName.trimmed();
    for (const char* alias : { "(LOCAL)", ".", "LOCALHOST" }) {
        if (name.compare(QLatin1String(alias), Qt::CaseInsensitive) == 0)
            return true;
    }
    return !name.isEmpty() && name.compare(platform::computerName(), Qt::CaseInsensitive) == 0;
}

} // namespace

BackendRouter::Route BackendRouter::route(
    const QString& serverName, const QString& connectSetting, const QString& engineSetting)
{
    const QString engine = engineSetting.trimmed().toLower();
    if (engine == QLatin1String("embedded"))
        return Route::Embedded;
    if (engine == QLatin1String("odbc"))
        return Route::Odbc;
    if (connectSetting.isEmpty() && namesThisComputer(serverName))
        return Route::Embedded;
    return Route::Odbc;
}

std::shared_ptr<Backend> BackendRouter::backendFor(const QString& connectionString)
{
    const QString serverName = ConnectionString::value(connectionString, QStringLiteral("Server"));
    if (ConnectionSetup::fromSettings().route(serverName) == Route::Embedded) {
        if (std::shared_ptr<Backend> embedded = embeddedBackend())
            return embedded;
        return std::make_shared<MissingBackend>(QStringLiteral(
            "The embedded server is not available in this program, so the server \"%1\" cannot be "
            "reached. Set the engine setting of section system to \"odbc\" to use ODBC.")
                                                    .arg(serverName));
    }
    return odbcBackend();
}

void BackendRouter::setEmbeddedBackend(std::shared_ptr<Backend> backend)
{
    QMutexLocker lock(&registry().mutex);
    registry().embedded = std::move(backend);
}

void BackendRouter::setOdbcBackend(std::shared_ptr<Backend> backend)
{
    QMutexLocker lock(&registry().mutex);
    registry().odbc = std::move(backend);
    registry().odbcSet = true;
}

std::shared_ptr<Backend> BackendRouter::embeddedBackend()
{
    QMutexLocker lock(&registry().mutex);
    return registry().embedded;
}

std::shared_ptr<Backend> BackendRouter::odbcBackend()
{
    QMutexLocker lock(&registry().mutex);
    if (!registry().odbcSet) {
        registry().odbc = OdbcBackend::create();
        registry().odbcSet = true;
    }
    return registry().odbc;
}

void setEmbeddedBackend(std::shared_ptr<Backend> backend)
{
    BackendRouter::setEmbeddedBackend(std::move(backend));
}

} // namespace glimora::data
