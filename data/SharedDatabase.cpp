#include "data/SharedDatabase.h"

#include "data/ConnectionSetup.h"
#include "data/DbError.h"

namespace glimora::data {

namespace {

struct SharedObjects
{
    Connection connection;
    Command command;
    Recordset recordset;
    LoginValues login;
};

SharedObjects& shared()
{
    static SharedObjects objects;
    return objects;
}

} // namespace

void SharedDatabase::createObjects()
{
    shared().recordset = Recordset::create();
    shared().connection = Connection::create();
    shared().command = Command::create();
}

void SharedDatabase::releaseObjects()
{
    SharedObjects& objects = shared();
    try {
        if (!objects.recordset.isNull() && objects.recordset.State() != Recordset::StateClosed)
            objects.recordset.Close();
        if (!objects.connection.isNull() && objects.connection.State() != Connection::StateClosed)
            objects.connection.Close();
    } catch (const DbError&) {
        // Dropping the objects is all that is left to do.
    }
    objects.recordset = Recordset();
    objects.command = Command();
    objects.connection = Connection();
    objects.login = LoginValues();
}

Connection& SharedDatabase::connection()
{
    return shared().connection;
}

Command& SharedDatabase::command()
{
    return shared().command;
}

Recordset& SharedDatabase::recordset()
{
    return shared().recordset;
}

LoginValues& SharedDatabase::login()
{
    return shared().login;
}

void SharedDatabase::reopen(const QString& database)
{
    LoginValues& values = login();
    const QString connectionString = ConnectionSetup::fromSettings().connectionString(
        values.userName, values.password, values.serverName, database);
    values.connectionString = connectionString;
    Connection& shared = connection();
    if (shared.State() != Connection::StateClosed)
        shared.Close();
    shared.Open(connectionString);
    command().SetActiveConnection(shared);
}

void SharedDatabase::setRecordset(const Recordset& result)
{
    Recordset& current = shared().recordset;
    if (!current.isNull() && current.State() != Recordset::StateClosed)
        current.Close();
    current = result;
}

QString SharedDatabase::loginConnectionString()
{
    const LoginValues& values = login();
    return ConnectionSetup::fromSettings().connectionString(
        values.userName, values.password, values.serverName, values.databaseName);
}

} // namespace glimora::data
