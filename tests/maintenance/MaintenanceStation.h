#pragma once

#include "tests/support/TempWorkspace.h"

#include <memory>
#include <QString>
#include <QStringList>

namespace glimora::engine {
class EmbeddedBackend;
}

// A station as the back-office menu leaves it for the maintenance screens: a workspace with
// its uinfo.ini, the embedded server holding the database "nivo" with the system's tables
// and the catalogue of the test workbook, "sa" logged in and the shared connection open on
// that database. Message boxes are answered with OK and recorded.
class MaintenanceStation
{
public:
    static constexpr const char* SaPassword = "Station-Sa1";

    // `catalogue` is the workbook of the catalogue, under tests/fixtures.
    explicit MaintenanceStation(
        const QByteArray& settings = {}, const QString& catalogue = QStringLiteral("workbooks/contrast.xls"));
    ~MaintenanceStation();

    const TempWorkspace& workspace() const { return m_workspace; }

    // Logs the shared objects in as `user` (as the login and the menu do).
    void logInShared(const QString& user, const QString& password) const;

    // Sends a batch as "sa" over a connection of its own.
    void execute(const QString& batch) const;
    // The rows of a query, each as its values joined by "|", NULL as "NULL".
    QStringList rows(const QString& query) const;
    QString scalar(const QString& query) const;
    // The first value of a query as bytes (a picture column).
    QByteArray bytes(const QString& query) const;

    // Whether the server accepts that login on the station's database.
    bool canLogIn(const QString& user, const QString& password) const;

private:
    TempWorkspace m_workspace;
    std::shared_ptr<glimora::engine::EmbeddedBackend> m_backend;
};
