#pragma once

#include "engine/storage/SqliteCursor.h"

#include <memory>

namespace glimora::engine {

// The client's handle on a result set. The session keeps a second reference, so that it
// can read the remaining rows into memory before it runs the next batch.
class SessionCursor : public data::BackendCursor
{
public:
    explicit SessionCursor(std::shared_ptr<SqliteCursor> cursor)
        : m_cursor(std::move(cursor))
    {
    }

    const QList<data::FieldInfo>& fields() const override { return m_cursor->fields(); }
    const QList<SqlType>& columnTypes() const { return m_cursor->columnTypes(); }
    bool fetchRow(QList<data::Variant>& row) override { return m_cursor->fetchRow(row); }
    bool fetchFields(QList<data::Variant>& row, const QList<bool>& read) override
    {
        return m_cursor->fetchFields(row, read);
    }

private:
    std::shared_ptr<SqliteCursor> m_cursor;
};

} // namespace glimora::engine
