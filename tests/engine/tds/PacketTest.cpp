#include "engine/tds/TdsPacket.h"

#include <gtest/gtest.h>
#include <QList>

using namespace glimora::engine::tds;

namespace {

QByteArray packet(quint8 type, quint8 status, const QByteArray& body, int length = -1)
{
    const int size = length < 0 ? int(body.size()) + 8 : length;
    QByteArray out;
    out.append(char(type));
    out.append(char(status));
    out.append(char(size >> 8));
    out.append(char(size));
    out.append("\0\0\1\0", 4);
    return out + body;
}

} // namespace

TEST(MessageReaderTest, PutsMessagesTogetherFromPacketsSlicedAnyway)
{
    const QByteArray stream = packet(1, 0, "se") + packet(1, 0, "lec") + packet(1, 1, "t 1")
        + packet(1, 0x03, "dropped") + packet(18, 1, "pre");
    for (const int slice : { 1, 5, 1000 }) {
        MessageReader reader(4096, 1024);
        QList<Message> messages;
        for (qsizetype at = 0; at < stream.size(); at += slice) {
            reader.feed(stream.mid(at, slice));
            Message message;
            while (reader.next(message) == MessageReader::Result::Ready)
                messages.append(message);
        }
        ASSERT_EQ(messages.size(), 2) << slice;
        EXPECT_EQ(messages[0].type, PacketType::SqlBatch);
        EXPECT_EQ(messages[0].payload, "select 1");
        EXPECT_EQ(messages[1].type, PacketType::PreLogin);
        EXPECT_EQ(messages[1].payload, "pre");
        EXPECT_FALSE(reader.inMessage());
    }
}

TEST(MessageReaderTest, BrokenFramingFailsTheConnection)
{
    const QByteArray big(600, 'x');
    const QList<std::pair<const char*, QByteArray>> cases {
        { "shorter than its header", packet(1, 1, "", 7) },
        { "longer than the packet size", packet(1, 1, QByteArray(600, 'x')) },
        { "a server's packet type", packet(4, 1, "x") },
        { "type changed inside a message", packet(1, 0, "a") + packet(3, 1, "b") },
        { "message over the cap", packet(1, 0, big.left(500)) + packet(1, 1, big.left(500)) },
    };
    for (const auto& [what, bytes] : cases) {
        MessageReader reader(512, 800);
        reader.feed(bytes);
        Message message;
        EXPECT_EQ(reader.next(message), MessageReader::Result::Failed) << what;
        EXPECT_FALSE(reader.error().isEmpty()) << what;
        // Nothing after lost framing is read.
        reader.feed(packet(1, 1, "select 1"));
        EXPECT_EQ(reader.next(message), MessageReader::Result::Failed) << what;
    }
}

TEST(PacketWriterTest, SendsFullPacketsAsTheyFillAndEndsWithEom)
{
    QList<QByteArray> sent;
    PacketWriter writer([&](const QByteArray& p) { sent.append(p); }, 512);
    writer.setSpid(0x0133);
    writer.payload().append(QByteArray(1200, 'r'));
    writer.sendFull();
    ASSERT_EQ(sent.size(), 2);
    writer.endMessage();
    ASSERT_EQ(sent.size(), 3);
    writer.endMessage(); // an empty answer is one empty packet
    ASSERT_EQ(sent.size(), 4);

    for (qsizetype i = 0; i < sent.size(); ++i) {
        const QByteArray& p = sent[i];
        EXPECT_EQ(quint8(p[0]), 4);
        EXPECT_EQ(quint8(p[1]), i == 2 || i == 3 ? 1 : 0);
        EXPECT_EQ((quint8(p[2]) << 8) | quint8(p[3]), p.size());
        EXPECT_EQ(p.mid(4, 2), QByteArray("\x01\x33", 2));
        EXPECT_EQ(quint8(p[6]), i == 3 ? 1 : i + 1);
    }
    EXPECT_EQ(sent[0].size() + sent[1].size() + sent[2].size(), 1200 + 3 * 8);
}
