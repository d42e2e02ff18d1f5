#pragma once

#include <optional>
#include <QString>

namespace glimora::app {

// Server, login and password of a kiosk start. They come from the service manager's
// credential "glimora-login" when it passes credentials, otherwise from login.credentials
// beside uinfo.ini, which must be private to the station's user. The file holds
// `key=value` lines: server, user and password.
struct KioskCredentials
{
    QString server;
    QString user;
    QString password;

    // The file read, as the screen names it.
    static QString location();
    // The credentials, or nothing and in `problem` what is wrong, for the screen.
    static std::optional<KioskCredentials> read(QString& problem);
    // The lines of a credential; nothing and in `problem` what is missing.
    static std::optional<KioskCredentials> parse(
        const QByteArray& text, const QString& location, QString& problem);
};

} // namespace glimora::app
