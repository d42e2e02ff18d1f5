#include "data/Connection.h"

#include "data/Backend.h"
#include "data/BackendRouter.h"
#include "data/DbError.h"
#include "data/Session.h"

namespace glimora::data {

struct Connection::Data
{
    int connectionTimeout = 15; // ADO's defaults
    int commandTimeout = 30;
    QString connectionString;
    std::shared_ptr<Session> session;
};

Connection Connection::create()
{
    Connection connection;
    connection.m_data = std::make_shared<Data>();
    return connection;
}

int Connection::ConnectionTimeout() const
{
    return data().connectionTimeout;
}

void Connection::SetConnectionTimeout(int seconds)
{
    data().connectionTimeout = seconds;
}

int Connection::CommandTimeout() const
{
    return data().commandTimeout;
}

void Connection::SetCommandTimeout(int seconds)
{
    data().commandTimeout = seconds;
}

QString Connection::ConnectionString() const
{
    return data().connectionString;
}

long Connection::State() const
{
    const Data& d = data();
    return d.session && d.session->isOpen() ? StateOpen : StateClosed;
}

void Connection::Open(const QString& connectionString)
{
    data();
    Open(connectionString, BackendRouter::backendFor(connectionString));
}

void Connection::Open(const QString& connectionString, const std::shared_ptr<Backend>& backend)
{
    Data& d = data();
    if (State() != StateClosed)
        throw DbError::objectOpen();
    if (!backend)
        throw DbError::invalidPointer();
    d.connectionString = connectionString;
    d.session = std::make_shared<Session>(backend->open(connectionString, d.connectionTimeout));
}

void Connection::Close()
{
    Data& d = data();
    if (State() == StateClosed)
        throw DbError::objectClosed();
    // Record sets read from this connection keep their session object, now closed.
    std::shared_ptr<Session> session = std::move(d.session);
    session->close();
}

std::shared_ptr<Session> Connection::session() const
{
    const Data& d = data();
    if (!d.session || !d.session->isOpen())
        throw DbError::connectionInvalid();
    return d.session;
}

Connection::Data& Connection::data() const
{
    if (!m_data)
        throw DbError::invalidPointer();
    return *m_data;
}

} // namespace glimora::data
