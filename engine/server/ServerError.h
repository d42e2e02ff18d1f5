#pragma once

#include <QString>
#include <stdexcept>

namespace glimora::engine {

// An error as SQL Server reports it: message number, severity, state and text.
// Inside the engine every failure is a ServerError; the session turns it into a DbError.
class ServerError : public std::runtime_error
{
public:
    ServerError(int number, const QString& message, int severity = 16, int state = 1);

    int number() const { return m_number; }
    QString message() const { return m_message; }
    int severity() const { return m_severity; }
    int state() const { return m_state; }

    // Errors that end the whole batch rather than only their statement (conversion
    // failures, a missing database in USE, a broken connection).
    bool abortsBatch() const { return m_abortsBatch; }
    ServerError& setAbortsBatch(bool value = true);

    // Common errors, worded as SQL Server words them.
    static ServerError syntaxNear(const QString& word);
    static ServerError syntaxNearKeyword(const QString& keyword);
    static ServerError notSupported(const QString& word);
    static ServerError invalidObject(const QString& name);
    static ServerError invalidColumn(const QString& name);
    static ServerError objectExists(const QString& name);
    static ServerError databaseMissing(const QString& name);
    static ServerError permissionDenied(const QString& action);

private:
    int m_number;
    QString m_message;
    int m_severity;
    int m_state;
    bool m_abortsBatch = false;
};

} // namespace glimora::engine
