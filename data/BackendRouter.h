#pragma once

#include <memory>
#include <QString>

namespace glimora::data {

class Backend;

// Chooses the backend of a connection. The embedded server serves a server name that names
// this computer (its host name, "(LOCAL)", "." or "LOCALHOST") while the `connect` setting
// is empty; every other server, and every connection when `connect` holds a template, goes
// through ODBC. The setting `engine` of section `system` ("auto", "embedded", "odbc")
// overrides the choice.
class BackendRouter
{
public:
    enum class Route { Embedded, Odbc };

    // The decision alone, from the values it depends on.
    static Route route(
        const QString& serverName, const QString& connectSetting, const QString& engineSetting);

    // The backend for a connection string, with the settings read from uinfo.ini. When the
    // embedded server is chosen but none is registered, the backend returned refuses to open
    // with a DbError that says so.
    static std::shared_ptr<Backend> backendFor(const QString& connectionString);

    // The program registers the embedded server at start-up; tests may replace either.
    static void setEmbeddedBackend(std::shared_ptr<Backend> backend);
    static void setOdbcBackend(std::shared_ptr<Backend> backend);
    static std::shared_ptr<Backend> embeddedBackend();
    static std::shared_ptr<Backend> odbcBackend();
};

// Shorthand for the program's start-up.
void setEmbeddedBackend(std::shared_ptr<Backend> backend);

} // namespace glimora::data
