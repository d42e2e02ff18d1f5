#pragma once

#include "engine/storage/DatabaseConnection.h"

namespace glimora::engine {

// One write (a transaction, or a savepoint inside the session's own) that is rolled back
// unless committed: a write that fails on any line leaves the database as it was.
class WriteScope
{
public:
    explicit WriteScope(DatabaseConnection& connection)
        : m_connection(connection)
    {
        m_connection.beginWrite();
    }
    ~WriteScope()
    {
        if (!m_committed)
            m_connection.rollbackWrite();
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

    void commit()
    {
        m_connection.commitWrite();
        m_committed = true;
    }

private:
    DatabaseConnection& m_connection;
    bool m_committed = false;
};

} // namespace glimora::engine
