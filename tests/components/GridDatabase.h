#pragma once

#include "tests/support/TempWorkspace.h"

#include <memory>
#include <QString>

namespace glimora::engine {
class EmbeddedBackend;
}

// A database of the embedded server in the test's own workspace, reached by the data
// control the way the screens reach it: a connection string naming this computer.
class GridDatabase
{
public:
    GridDatabase();
    ~GridDatabase();

    QString connectionString() const { return m_connectionString; }

    // Sends a batch over a connection of its own, as another writer would.
    void execute(const QString& batch) const;
    // The first value of the first row, as text; empty when there is none.
    QString scalarText(const QString& query) const;

    // The catalogue table with three field rows, as configuration edits it.
    void createCatalogue() const;
    // The record table with a text, a date, a decimal and a picture column, and two rows.
    void createRecords() const;
    // `count` more records after those: d1 'row 0', 'row 1', ...
    void addNumberedRecords(int count) const;

private:
    TempWorkspace m_workspace;
    std::shared_ptr<glimora::engine::EmbeddedBackend> m_backend;
    QString m_connectionString;
};
