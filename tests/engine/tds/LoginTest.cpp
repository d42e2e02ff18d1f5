#include "engine/tds/LoginThrottle.h"
#include "engine/tds/TdsBytes.h"
#include "engine/tds/TdsLogin.h"

#include <gtest/gtest.h>

using namespace glimora::engine::tds;

namespace {

QByteArray preLogin(quint8 encryption)
{
    // Version at 11, encryption at 17, terminator at 10.
    QByteArray out("\x00\x00\x0B\x00\x06\x01\x00\x11\x00\x01\xFF", 11);
    out.append(QByteArray("\x0B\x00\x08\x34\x00\x00", 6));
    out.append(char(encryption));
    return out;
}

Login7 sampleLogin()
{
    Login7 login;
    login.tdsVersion = 0x74000004;
    login.packetSize = 8192;
    login.hostName = QStringLiteral("station-1");
    login.userName = QStringLiteral("clerk");
    login.password = QStringLiteral("Pass-字1");
    login.appName = QStringLiteral("glimora");
    login.database = QStringLiteral("nivo");
    login.language = QStringLiteral("us_english");
    return login;
}

} // namespace

TEST(PreLoginTest, ReadsTheClientsEncryptionAndAnswersNotSupported)
{
    for (const Encryption encryption : { Encryption::Off, Encryption::On, Encryption::Required }) {
        const std::optional<PreLogin> read = parsePreLogin(preLogin(quint8(encryption)), nullptr);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->encryption, encryption);
    }
    const std::optional<PreLogin> answer = parsePreLogin(preLoginResponse(Encryption::NotSupported), nullptr);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->encryption, Encryption::NotSupported);

    QString why;
    EXPECT_FALSE(parsePreLogin(QByteArray("\x01\x00\x10\x00\x01", 5), &why)); // no terminator
    EXPECT_FALSE(parsePreLogin(QByteArray("\x01\x7F\xF0\x00\x01\xFF", 6), &why)); // beyond the end
}

TEST(Login7Test, ReadsTheLoginAndClearsThePassword)
{
    // Each byte's halves swapped, then XOR 0xA5: 'a' (0x61) becomes 0xB3, its high byte 0xA5.
    EXPECT_EQ(obfuscatePassword(QStringLiteral("a")), QByteArray("\xB3\xA5", 2));
    const std::optional<Login7> read = parseLogin7(login7Payload(sampleLogin()), nullptr);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->tdsVersion, 0x74000004u);
    EXPECT_EQ(read->packetSize, 8192u);
    EXPECT_EQ(read->userName, QStringLiteral("clerk"));
    EXPECT_EQ(read->password, QStringLiteral("Pass-字1"));
    EXPECT_EQ(read->database, QStringLiteral("nivo"));
    EXPECT_EQ(read->appName, QStringLiteral("glimora"));
    EXPECT_EQ(read->hostName, QStringLiteral("station-1"));
    EXPECT_FALSE(read->integratedSecurity);
}

TEST(Login7Test, RefusesLengthsItCannotBelieve)
{
    QString why;
    QByteArray payload = login7Payload(sampleLogin());
    QByteArray twoGigabytes = payload;
    twoGigabytes.replace(0, 4, QByteArray("\xFF\xFF\xFF\x7F", 4));
    EXPECT_FALSE(parseLogin7(twoGigabytes, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("length")));

    // The user name's offset pointing past the end.
    QByteArray pastEnd = payload;
    pastEnd.replace(40, 2, QByteArray("\xF0\xFF", 2));
    EXPECT_FALSE(parseLogin7(pastEnd, &why));

    Login7 longPassword = sampleLogin();
    longPassword.password = QString(LongestLoginText + 1, u'p');
    EXPECT_FALSE(parseLogin7(login7Payload(longPassword), &why));
    EXPECT_FALSE(parseLogin7(payload.left(93), &why));
}

TEST(LoginThrottleTest, SlowsRepeatedFailuresOfOneAddressOnly)
{
    LoginThrottle throttle;
    const QString guesser = QStringLiteral("192.0.2.7");
    QList<qint64> delays;
    for (int i = 0; i < 10; ++i)
        delays.append(throttle.failed(guesser, 1000 + i));
    EXPECT_EQ(delays,
        (QList<qint64> { 0, 0, 0, 1000, 2000, 4000, 8000, 16000, 16000, LoginThrottle::LongestDelayMs }));
    EXPECT_EQ(throttle.failed(QStringLiteral("192.0.2.8"), 2000), 0);
    // A quiet spell, or a login that succeeds, starts the count again.
    EXPECT_EQ(throttle.failed(guesser, 2000 + LoginThrottle::WindowMs), 0);
    throttle.failed(guesser, 3000 + LoginThrottle::WindowMs);
    throttle.failed(guesser, 3000 + LoginThrottle::WindowMs);
    EXPECT_EQ(throttle.failed(guesser, 3000 + LoginThrottle::WindowMs), 1000);
    throttle.succeeded(guesser);
    EXPECT_EQ(throttle.failed(guesser, 4000 + LoginThrottle::WindowMs), 0);
}
