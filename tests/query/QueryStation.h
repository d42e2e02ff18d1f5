#pragma once

#include "tests/support/TempWorkspace.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace glimora::engine {
class EmbeddedBackend;
}

// A query station for one test: its own folder with a uinfo.ini, an embedded server there
// with the database and the demo catalogue, and the login values of a visitor.
class QueryStation
{
public:
    explicit QueryStation(const QByteArray& settings);
    ~QueryStation();

    // The demo station's records (480 rows of a hospital's price list).
    void importDemoRecords();
    // Runs a batch in the station's database.
    void execute(const QString& batch);
    // The rows of a statement, one text per row, cells joined by "|".
    QStringList rows(const QString& statement);

    TempWorkspace workspace;

private:
    QString connectionString() const;
    std::shared_ptr<glimora::engine::EmbeddedBackend> m_backend;
};

// The demo's uinfo.ini.
QByteArray demoSettings();
