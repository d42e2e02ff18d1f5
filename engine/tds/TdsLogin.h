#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

namespace glimora::engine::tds {

// PRELOGIN's encryption values.
enum class Encryption : quint8 { Off = 0, On = 1, NotSupported = 2, Required = 3 };

struct PreLogin
{
    Encryption encryption = Encryption::Off;
    bool mars = false;
};

// The options of a client's PRELOGIN; nullopt with the reason when they are malformed.
std::optional<PreLogin> parsePreLogin(const QByteArray& payload, QString* why);
// The server's PRELOGIN answer: its version, the encryption it settles on, no MARS.
QByteArray preLoginResponse(Encryption encryption);

// What a LOGIN7 message carries that the server acts upon.
struct Login7
{
    quint32 tdsVersion = 0;
    quint32 packetSize = 0;
    bool integratedSecurity = false;
    QString hostName;
    QString userName;
    QString password;
    QString appName;
    QString serverName;
    QString libraryName;
    QString language;
    QString database;
    QString newPassword; // a password change asked for with the login
};

// Longest user name, password or other text LOGIN7 may carry (characters).
constexpr int LongestLoginText = 128;

std::optional<Login7> parseLogin7(const QByteArray& payload, QString* why);
// The client's form of a password: every byte's halves swapped, then XOR 0xA5.
QByteArray obfuscatePassword(const QString& password);
// Builds a LOGIN7 payload (tests and the fuzzer's seeds).
QByteArray login7Payload(const Login7& login);

} // namespace glimora::engine::tds
