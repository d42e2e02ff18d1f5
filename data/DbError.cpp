#include "data/DbError.h"

namespace glimora::data {

DbError::DbError(long code, const QString& description, int nativeError, int severity, int state)
    : std::runtime_error(description.toStdString())
    , m_code(code)
    , m_description(description)
    , m_nativeError(nativeError)
    , m_severity(severity)
    , m_state(state)
{
}

} // namespace glimora::data
