#pragma once

#include "data/Command.h"
#include "data/Connection.h"
#include "data/LoginValues.h"
#include "data/Recordset.h"

namespace glimora::data {

// The process-wide objects of the database access: one connection, one command and one
// record set, and the login values. The objects are unset until createObjects() (the login
// dialog calls it), and any use of an unset one raises the invalid-pointer error. They are
// not tied to a thread: the worker of a long job uses the command while the screen waits.
class SharedDatabase
{
public:
    // Creates the three objects, in the order record set, connection, command.
    static void createObjects();
    // Closes and drops them (tests; the program keeps them until it ends).
    static void releaseObjects();

    static Connection& connection();
    static Command& command();
    // A screen replaces it with a new result after closing it: recordset() = command().Execute().
    static Recordset& recordset();
    static LoginValues& login();
    // A connection string for a connection of its own, from the login as it is now: read on
    // the screens' thread, for a worker to open.
    static QString loginConnectionString();

    // The one way to (re)open the shared connection: the connection string is made from the
    // `connect` setting and the login values for `database` (empty: none named), kept in
    // login(), and the shared command uses the connection. Raises DbError when a value
    // cannot be carried or the server refuses; a refused value leaves the connection as it was.
    static void reopen(const QString& database);

    // Closes the shared record set when it is open, then makes `result` the shared one.
    static void setRecordset(const Recordset& result);
};

} // namespace glimora::data
