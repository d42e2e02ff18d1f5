#pragma once

#include "data/Backend.h"

#include <memory>

namespace glimora::data {

class OdbcHandle;

// The rows of one statement handle, described into ADO's type codes and read one row at a
// time. Freeing the statement drops whatever the server still had to send.
class OdbcCursor : public BackendCursor
{
public:
    // Takes a statement positioned on a result set with columns.
    OdbcCursor(std::shared_ptr<OdbcHandle> connection, std::unique_ptr<OdbcHandle> statement);
    ~OdbcCursor() override;

    const QList<FieldInfo>& fields() const override { return m_fields; }
    bool fetchRow(QList<Variant>& row) override;
    bool fetchFields(QList<Variant>& row, const QList<bool>& read) override;
    bool nextResultSet() override;

    // Moves `statement` past results without columns (counting the rows they changed) to the
    // first result set; false when the batch ends first.
    static bool skipToResultSet(OdbcHandle& statement, qint64& rowsAffected);
    // The ADO type code of an ODBC SQL type.
    static DataType adoType(short sqlType);

private:
    void describe();
    Variant readValue(int column, const FieldInfo& field);
    QByteArray readLong(int column, short cType);

    std::shared_ptr<OdbcHandle> m_connection; // outlives the statement handle
    std::unique_ptr<OdbcHandle> m_statement;
    QList<FieldInfo> m_fields;
};

} // namespace glimora::data
