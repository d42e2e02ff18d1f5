#pragma once

#include <QString>

namespace glimora::data {

// The values the login sets and every screen reads afterwards.
struct LoginValues
{
    QString serverName; // trailing blanks removed, upper case
    QString userName; // trailing blanks removed
    QString password; // trailing blanks removed
    QString databaseName = QStringLiteral("nivo");
    QString computerName;
    QString connectionString; // as last built, kept for reuse
    int timeout = 5; // seconds; 0: no limit
};

} // namespace glimora::data
