#include "data/DbError.h"

namespace glimora::data {

DbError::DbError(
    long code, const QString& description, int nativeError, int severity, int state, int lineNumber)
    : std::runtime_error(description.toStdString())
    , m_code(code)
    , m_description(description)
    , m_nativeError(nativeError)
    , m_severity(severity)
    , m_state(state)
    , m_lineNumber(lineNumber)
{
}

} // namespace glimora::data

namespace glimora::data {

DbError DbError::invalidPointer()
{
    return DbError(InvalidPointer, QStringLiteral("Invalid pointer"));
}

DbError DbError::noCurrentRecord()
{
    return DbError(NoCurrentRecord,
        QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. Requested "
                       "operation requires a current record."));
}

DbError DbError::itemNotFound()
{
    return DbError(ItemNotFound,
        QStringLiteral(
            "Item cannot be found in the collection corresponding to the requested name or ordinal."));
}

DbError DbError::objectClosed()
{
    return DbError(ObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
}

DbError DbError::objectOpen()
{
    return DbError(ObjectOpen, QStringLiteral("Operation is not allowed when the object is open."));
}

DbError DbError::connectionInvalid()
{
    return DbError(ConnectionInvalid,
        QStringLiteral("The connection cannot be used to perform this operation. It is either closed "
                       "or invalid in this context."));
}

DbError DbError::notUpdatable(const QString& reason)
{
    return DbError(
        NotUpdatable, QStringLiteral("Current Recordset does not support updating: %1").arg(reason));
}

DbError DbError::rowConflict()
{
    return DbError(RowConflict,
        QStringLiteral("Row cannot be located for updating. Some values may have been changed since "
                       "it was last read."));
}

DbError DbError::illegalOperation()
{
    return DbError(IllegalOperation, QStringLiteral("Operation is not allowed in this context."));
}

DbError DbError::invalidArgument(const QString& detail)
{
    return DbError(InvalidArgument,
        QStringLiteral("Arguments are of the wrong type, are out of acceptable range, or are in "
                       "conflict with one another: %1")
            .arg(detail));
}

} // namespace glimora::data
