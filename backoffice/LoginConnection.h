#pragma once

#include <QString>

namespace glimora::data {
struct LoginValues;
}

namespace glimora::backoffice {

// What every login does once server, user and password are known, whether a person typed
// them or the kiosk read them.
class LoginConnection
{
public:
    // Opens the shared connection with the login values and the `connect` template, with the
    // time-out of setting `outtim`; raises DbError when the server refuses or cannot be reached.
    static void open(data::LoginValues& login);
    // Sent after every login: on a server that has the database and tables, both batches
    // fail harmlessly, and nobody is told their outcome either way.
    static void createDatabaseIfNew();
    // How the event log names a login: user and server, never the password.
    static QString logName(const data::LoginValues& login, bool backOffice);
};

} // namespace glimora::backoffice
