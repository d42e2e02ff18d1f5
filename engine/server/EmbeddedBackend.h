#pragma once

#include "data/Backend.h"
#include "engine/rowset/RowsetTable.h"

#include <memory>
#include <QString>

namespace glimora::engine {

class Catalogue;

// The embedded SQL Server: a data folder with a catalogue file and one SQLite file per
// database. Every open() is a session of its own; sessions of one backend share the
// catalogue, and several processes may use one data folder at the same time.
class EmbeddedBackend : public data::Backend
{
public:
    explicit EmbeddedBackend(const QString& dataDirectory);
    ~EmbeddedBackend() override;

    // Reads Uid, pwd and Database from the connection string (keys in any case); an empty
    // Database means the login's default database. Throws DbError 18456 for a refused login.
    std::unique_ptr<data::BackendSession> open(
        const QString& connectionString, int connectionTimeoutSeconds) override;

    // Replaces the reader of OPENROWSET workbooks (tests feed rows without a file): whole
    // tables, or cells one by one as a workbook reader hands them on.
    void setRowsetReader(RowsetReader reader);
    void setRowsetCellReader(RowsetCellReader reader);
    QString dataDirectory() const;

private:
    std::shared_ptr<Catalogue> m_catalogue;
    RowsetCellReader m_rowsetReader;
};

} // namespace glimora::engine
