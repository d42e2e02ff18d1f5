#include "engine/tds/TdsSession.h"
#include "engine/server/EmbeddedBackend.h"
#include "engine/tds/TdsBytes.h"
#include "engine/tds/TdsLogin.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QThread>

using namespace glimora;
using namespace glimora::engine::tds;

namespace {

QByteArray ucs2(const QString& text)
{
    QByteArray out;
    TdsWriter(out).ucs2(text);
    return out;
}

Message batch(const QString& text, quint32 headerLength = 22)
{
    QByteArray payload;
    TdsWriter writer(payload);
    writer.u32(headerLength);
    writer.u32(18);
    writer.u16(2);
    writer.u64(0);
    writer.u32(1);
    return { PacketType::SqlBatch, 1, payload + ucs2(text) };
}

Message login(const QString& user, const QString& password)
{
    Login7 login;
    login.tdsVersion = 0x74000004;
    login.packetSize = 8192;
    login.userName = user;
    login.password = password;
    return { PacketType::Login7, 1, login7Payload(login) };
}

// A session over a fresh embedded server, each answer's payload without packet headers.
class TdsSessionTest : public ::testing::Test
{
protected:
    TdsSessionTest()
        : m_backend(
            std::make_shared<engine::EmbeddedBackend>(m_directory.filePath(QStringLiteral("sqldata"))))
    {
    }

    std::unique_ptr<TdsSession> newSession()
    {
        return std::make_unique<TdsSession>(
            m_backend, [this](const QByteArray& packet) { m_answer += packet.mid(8); },
            QStringLiteral("host"));
    }

    bool send(TdsSession& session, const Message& message)
    {
        m_answer.clear();
        return session.handle(message);
    }

    QTemporaryDir m_directory;
    std::shared_ptr<engine::EmbeddedBackend> m_backend;
    QByteArray m_answer;
};

} // namespace

TEST_F(TdsSessionTest, LoginsAreTheEmbeddedServersWithItsRefusals)
{
    auto session = newSession();
    const QByteArray preLogin("\x01\x00\x06\x00\x01\xFF\x00", 7); // encryption off
    ASSERT_TRUE(send(*session, { PacketType::PreLogin, 1, preLogin }));
    EXPECT_EQ(parsePreLogin(m_answer, nullptr)->encryption, Encryption::NotSupported);
    ASSERT_TRUE(send(*session, login(QStringLiteral("sa"), QStringLiteral("Secret1"))));
    EXPECT_TRUE(session->loggedIn());
    EXPECT_EQ(session->packetSize(), 8192);
    EXPECT_TRUE(m_answer.contains(ucs2(QStringLiteral("Changed database context to 'master'."))));
    EXPECT_TRUE(m_answer.contains(QByteArray("\xAD\x32\x00", 3))); // LOGINACK
    EXPECT_TRUE(m_answer.contains(ucs2(QStringLiteral("8192"))));

    for (const QString& user : { QStringLiteral("sa"), QStringLiteral("nobody") }) {
        auto refused = newSession();
        EXPECT_FALSE(send(*refused, login(user, QStringLiteral("wrong"))));
        EXPECT_TRUE(m_answer.startsWith(QByteArray("\xAA", 1)));
        EXPECT_TRUE(m_answer.contains(QByteArray("\x18\x48\x00\x00\x01\x0E", 6))); // 18456, state 1, level 14
        EXPECT_TRUE(m_answer.contains(ucs2(QStringLiteral("Login failed for user '%1'.").arg(user))));
        EXPECT_FALSE(refused->loggedIn());
    }
}

TEST_F(TdsSessionTest, RefusesWhatItCannotServeBeforeTheLogin)
{
    auto requiresEncryption = newSession();
    EXPECT_FALSE(send(
        *requiresEncryption, { PacketType::PreLogin, 1, QByteArray("\x01\x00\x06\x00\x01\xFF\x03", 7) }));
    EXPECT_EQ(parsePreLogin(m_answer, nullptr)->encryption, Encryption::NotSupported);
    EXPECT_TRUE(requiresEncryption->closeReason().contains(QStringLiteral("encryption")));

    auto early = newSession();
    EXPECT_FALSE(send(*early, batch(QStringLiteral("select 1"))));
    EXPECT_TRUE(m_answer.isEmpty());
    auto garbled = newSession();
    EXPECT_FALSE(send(*garbled, { PacketType::Login7, 1, QByteArray(200, '\xFF') }));
}

TEST_F(TdsSessionTest, BatchesAnswerResultsErrorsAndCounts)
{
    auto session = newSession();
    ASSERT_TRUE(send(*session, login(QStringLiteral("sa"), QStringLiteral("Secret1"))));

    ASSERT_TRUE(send(*session, batch(QStringLiteral("select 7 as n"))));
    EXPECT_TRUE(m_answer.startsWith(QByteArray("\x81\x01\x00", 3)));
    EXPECT_TRUE(m_answer.contains(QByteArray("\xD1\x04\x07\0\0\0", 6)));
    EXPECT_TRUE(m_answer.endsWith(QByteArray("\xFD\x10\x00\xC1\x00\x01\0\0\0\0\0\0\0", 13)));

    ASSERT_TRUE(send(*session, batch(QStringLiteral("select * from nope"))));
    EXPECT_TRUE(m_answer.startsWith(QByteArray("\xAA", 1)));
    EXPECT_TRUE(m_answer.contains(ucs2(QStringLiteral("Invalid object name 'nope'."))));
    EXPECT_TRUE(m_answer.endsWith(QByteArray("\xFD\x02\x00\x00\x00\0\0\0\0\0\0\0\0", 13)));

    ASSERT_TRUE(send(*session, batch(QStringLiteral("create database nivo"))));
    ASSERT_TRUE(
        send(*session, batch(QStringLiteral("use nivo create table t(a int) insert t values(1),(2)"))));
    EXPECT_TRUE(m_answer.contains(ucs2(QStringLiteral("Changed database context to 'nivo'."))));
    EXPECT_TRUE(m_answer.endsWith(QByteArray("\xFD\x10\x00\x00\x00\x02\0\0\0\0\0\0\0", 13)));

    // A header length of 2 GB is an error for that request, not a read past the message.
    ASSERT_TRUE(send(*session, batch(QStringLiteral("select 1"), 0x7FFFFFFF)));
    EXPECT_TRUE(m_answer.startsWith(QByteArray("\xAA", 1)));
    ASSERT_TRUE(send(*session, batch(QStringLiteral("select 1"))));
    EXPECT_TRUE(m_answer.startsWith(QByteArray("\x81", 1)));
}

TEST_F(TdsSessionTest, AttentionStopsTheBatchAtWorkAndIsAcknowledged)
{
    auto session = newSession();
    ASSERT_TRUE(send(*session, login(QStringLiteral("sa"), QStringLiteral("Secret1"))));
    m_answer.clear();
    std::unique_ptr<QThread> running(QThread::create([&] {
        session->handle(batch(QStringLiteral("declare @i int set @i = 0 while 1 = 1 set @i = @i + 1")));
    }));
    running->start();
    // Until the batch has begun, an attention would find nothing to stop.
    while (!running->wait(20))
        session->cancel();
    EXPECT_FALSE(m_answer.contains(QByteArray("\xAA", 1)));
    ASSERT_TRUE(send(*session, { PacketType::Attention, 1, {} }));
    EXPECT_EQ(m_answer, QByteArray("\xFD\x20\x00\x00\x00\0\0\0\0\0\0\0\0", 13));
    ASSERT_TRUE(send(*session, batch(QStringLiteral("select 1"))));
    EXPECT_TRUE(m_answer.contains(QByteArray("\xD1\x04\x01\0\0\0", 6)));
}

TEST_F(TdsSessionTest, SpExecuteSqlRunsWithItsParameters)
{
    auto session = newSession();
    ASSERT_TRUE(send(*session, login(QStringLiteral("sa"), QStringLiteral("Secret1"))));
    auto nvarchar = [](TdsWriter& writer, const QString& name, const QString& value) {
        writer.bVarchar(name);
        writer.u8(0);
        writer.u8(0xE7);
        writer.u16(8000);
        writer.bytes(QByteArray("\x04\x08\xD0\x00\x00", 5));
        writer.u16(quint16(value.size() * 2));
        writer.ucs2(value);
    };
    QByteArray payload;
    TdsWriter writer(payload);
    writer.u32(22);
    writer.u32(18);
    writer.u16(2);
    writer.u64(0);
    writer.u32(1);
    writer.u16(0xFFFF);
    writer.u16(10); // sp_executesql
    writer.u16(0);
    nvarchar(writer, QString(), QStringLiteral("select @a + 1 as n, @s as s, @d as d, @z as z"));
    nvarchar(writer, QString(), QStringLiteral("@a int, @s nvarchar(10), @d decimal(9,2), @z int"));
    writer.bVarchar(QStringLiteral("@a"));
    writer.u8(0);
    writer.u8(0x26);
    writer.u8(4);
    writer.u8(4);
    writer.u32(41);
    nvarchar(writer, QStringLiteral("@s"), QStringLiteral("内'x"));
    writer.bVarchar(QStringLiteral("@d"));
    writer.u8(0);
    writer.bytes(QByteArray("\x6A\x05\x09\x02\x05\x00\xE2\x04\x00\x00", 10)); // -12.50
    writer.bVarchar(QStringLiteral("@z"));
    writer.u8(0);
    writer.bytes(QByteArray("\x26\x04\x00", 3)); // NULL
    ASSERT_TRUE(send(*session, { PacketType::Rpc, 1, payload }));
    EXPECT_FALSE(m_answer.contains(QByteArray("\xAA", 1)));
    EXPECT_TRUE(m_answer.contains(QByteArray("\x04\x2A\0\0\0", 5)));
    EXPECT_TRUE(m_answer.contains(ucs2(QStringLiteral("内'x"))));
    EXPECT_TRUE(m_answer.contains(QByteArray("\x00\xE2\x04\0\0", 5)));
    // The result's DONEINPROC, the return status, and DONEPROC.
    EXPECT_TRUE(m_answer.endsWith(QByteArray("\xFF\x11\x00\xC1\x00\x01\0\0\0\0\0\0\0", 13)
        + QByteArray("\x79\0\0\0\0", 5) + QByteArray("\xFE\0\0\0\0\0\0\0\0\0\0\0\0", 13)));

    // Procedures not served yet are an error of that request only.
    payload.truncate(22);
    writer.u16(0xFFFF);
    writer.u16(11); // sp_prepare
    writer.u16(0);
    ASSERT_TRUE(send(*session, { PacketType::Rpc, 1, payload }));
    EXPECT_TRUE(m_answer.startsWith(QByteArray("\xAA", 1)));
    ASSERT_TRUE(send(*session, batch(QStringLiteral("select 1"))));
    EXPECT_TRUE(m_answer.contains(QByteArray("\xD1\x04\x01\0\0\0", 6)));
}
