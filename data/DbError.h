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

    DbError(long code, const QString& description, int nativeError = 0, int severity = 16, int state = 1);

    long code() const { return m_code; }
    QString description() const { return m_description; }
    int nativeError() const { return m_nativeError; } // SQL Server's message number, 0 when unknown
    int severity() const { return m_severity; }
    int state() const { return m_state; }

private:
    long m_code;
    QString m_description;
    int m_nativeError;
    int m_severity;
    int m_state;
};

} // namespace glimora::data
