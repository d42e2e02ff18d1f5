#pragma once

#include "data/Backend.h"
#include "engine/server/EmbeddedBackend.h"

#include <memory>
#include <QString>
#include <QTemporaryDir>

namespace glimora::fuzz {

// An embedded server of its own in a temporary folder (in memory where /dev/shm exists),
// with database "fuzz" holding the station's three tables and a few rows. Logging in
// again costs nothing after the first time, so each input gets a session of its own.
class ScratchServer
{
public:
    ScratchServer();

    QString folder() const { return m_directory.path(); }
    std::unique_ptr<data::BackendSession> connect(const QString& database = QStringLiteral("fuzz"));
    // Puts database "fuzz" back as it was made (nothing to do when its files were not written). False when
    // the input changed more than that database (logins, roles, other databases, master): the caller then
    // makes a new server.
    bool reset();
    // True while logins, roles, databases and master are as the server was made.
    bool unchanged() const { return serverState() == m_initialState; }

private:
    void createFuzzDatabase(data::BackendSession& session);
    // Logins, server roles, databases and master's tables, as text.
    QString serverState() const;
    // Sizes and modification times of the files of database "fuzz".
    QString fuzzFiles() const;

    QTemporaryDir m_directory;
    std::unique_ptr<engine::EmbeddedBackend> m_backend;
    QString m_initialState;
    QString m_initialFiles;
};

} // namespace glimora::fuzz
