#pragma once

#include <QString>
#include <stdexcept>

namespace glimora::data {

// The failure of a database call, as _com_error carried it: a code and the provider's
// description. Backends that know SQL Server's error number keep it as well.
class DbError : public std::runtime_error
{
public:
    // HRESULT-style codes that the data layer raises itself.
    static constexpr long InvalidPointer = static_cast<long>(0x80004003); // E_POINTER
    static constexpr long OutOfMemory = static_cast<long>(0x8007000E); // E_OUTOFMEMORY
    static constexpr long ProviderFailure = static_cast<long>(0x80004005); // E_FAIL: the provider's own error
    static constexpr long InvalidArgument = static_cast<long>(0x800A0BB9); // adErrInvalidArgument
    static constexpr long NoCurrentRecord = static_cast<long>(0x800A0BCD); // adErrNoCurrentRecord
    static constexpr long NotUpdatable = static_cast<long>(0x800A0CB3); // adErrFeatureNotAvailable
    static constexpr long ItemNotFound = static_cast<long>(0x800A0CC1); // adErrItemNotFound
    static constexpr long ObjectClosed = static_cast<long>(0x800A0E78); // adErrObjectClosed
    static constexpr long ObjectOpen = static_cast<long>(0x800A0E79); // adErrObjectOpen
    static constexpr long ConnectionInvalid = static_cast<long>(0x800A0E7D); // adErrInvalidConnection
    static constexpr long RowConflict = static_cast<long>(0x80040E38); // DB_E_CONCURRENCYVIOLATION
    static constexpr long IllegalOperation = static_cast<long>(0x800A0C93); // adErrIllegalOperation

    // The errors of the data layer itself, with the descriptions ADO gave them.
    static DbError invalidPointer();
    static DbError noCurrentRecord();
    static DbError itemNotFound();
    static DbError objectClosed();
    static DbError objectOpen();
    static DbError connectionInvalid();
    static DbError notUpdatable(const QString& reason);
    static DbError rowConflict();
    static DbError illegalOperation();
    static DbError invalidArgument(const QString& detail);

    DbError(long code, const QString& description, int nativeError = 0, int severity = 16, int state = 1,
        int lineNumber = 1);

    long code() const { return m_code; }
    QString description() const { return m_description; }
    int nativeError() const { return m_nativeError; } // SQL Server's message number, 0 when unknown
    int severity() const { return m_severity; }
    int state() const { return m_state; }
    int lineNumber() const { return m_lineNumber; } // line of the batch, as SQL Server reports it
    // The ODBC driver's SQLSTATE ("08S01"), empty from other backends.
    QString sqlState() const { return m_sqlState; }
    DbError& setSqlState(const QString& state)
    {
        m_sqlState = state;
        return *this;
    }

private:
    long m_code;
    QString m_description;
    int m_nativeError;
    int m_severity;
    int m_state;
    int m_lineNumber;
    QString m_sqlState;
};

} // namespace glimora::data
