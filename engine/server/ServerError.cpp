#include "engine/server/ServerError.h"

namespace glimora::engine {

ServerError::ServerError(int number, const QString& message, int severity, int state)
    : std::runtime_error(message.toStdString())
    , m_number(number)
    , m_message(message)
    , m_severity(severity)
    , m_state(state)
{
}

ServerError& ServerError::setAbortsBatch(bool value)
{
    m_abortsBatch = value;
    return *this;
}

ServerError ServerError::syntaxNear(const QString& word)
{
    return ServerError(102, QStringLiteral("Incorrect syntax near '%1'.").arg(word), 15);
}

ServerError ServerError::syntaxNearKeyword(const QString& keyword)
{
    return ServerError(156, QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(keyword), 15);
}

ServerError ServerError::notSupported(const QString& word)
{
    return ServerError(40000, QStringLiteral("'%1' is not supported by this server.").arg(word), 16);
}

ServerError ServerError::invalidObject(const QString& name)
{
    return ServerError(208, QStringLiteral("Invalid object name '%1'.").arg(name), 16);
}

ServerError ServerError::invalidColumn(const QString& name)
{
    return ServerError(207, QStringLiteral("Invalid column name '%1'.").arg(name), 16);
}

ServerError ServerError::objectExists(const QString& name)
{
    return ServerError(
        2714, QStringLiteral("There is already an object named '%1' in the database.").arg(name), 16, 6);
}

ServerError ServerError::databaseMissing(const QString& name)
{
    return ServerError(911,
        QStringLiteral("Database '%1' does not exist. Make sure that the name is entered correctly.")
            .arg(name),
        16)
        .setAbortsBatch();
}

ServerError ServerError::permissionDenied(const QString& action)
{
    return ServerError(262, QStringLiteral("%1 permission denied in database.").arg(action), 14);
}

} // namespace glimora::engine
