#pragma once

#include <functional>
#include <QByteArray>
#include <QString>

namespace glimora::engine::tds {

// Packet types of TDS 7.x, client to server unless noted.
enum class PacketType : quint8 {
    SqlBatch = 1,
    Rpc = 3,
    TabularResult = 4, // server to client
    Attention = 6,
    BulkLoad = 7,
    TransactionManager = 14,
    Login7 = 16,
    Sspi = 17,
    PreLogin = 18,
};

constexpr quint8 StatusEndOfMessage = 0x01;
constexpr quint8 StatusIgnore = 0x02;
constexpr int PacketHeaderSize = 8;
constexpr int SmallestPacketSize = 512;
constexpr int LargestPacketSize = 32767;

// One request as the client sent it, put together from its packets.
struct Message
{
    PacketType type = PacketType::SqlBatch;
    quint8 status = 0; // of the last packet (reset-connection bits)
    QByteArray payload;
};

// Puts messages together from the bytes of a connection as they arrive, in any slices.
// Anything that breaks the framing (a short or oversized packet, an unknown type, a type
// change inside a message, a message beyond the cap) fails the connection: once framing is
// lost nothing after it can be trusted.
class MessageReader
{
public:
    enum class Result { NeedMore, Ready, Failed };

    MessageReader(int largestPacket, qsizetype largestMessage);

    void setLargestPacket(int size) { m_largestPacket = size; }
    void setLargestMessage(qsizetype size) { m_largestMessage = size; }
    void feed(const QByteArray& bytes);
    // The next whole message, when the bytes fed so far hold one.
    Result next(Message& message);
    // Whether part of a message (or of a packet) has arrived and the rest is awaited.
    bool inMessage() const { return m_started || !m_buffer.isEmpty(); }
    // Whether the bytes after the last whole message begin an attention packet.
    bool attentionWaiting() const
    {
        return m_buffer.size() > m_consumed && quint8(m_buffer[m_consumed]) == quint8(PacketType::Attention);
    }
    QString error() const { return m_error; }

private:
    Result fail(const QString& why);

    int m_largestPacket;
    qsizetype m_largestMessage;
    QByteArray m_buffer; // bytes of packets not yet taken apart
    qsizetype m_consumed = 0;
    bool m_started = false;
    Message m_current;
    QString m_error;
};

// Sends a response as packets of the negotiated size, each one as soon as it is full, so
// that a large result never sits whole in memory.
class PacketWriter
{
public:
    using Sink = std::function<void(const QByteArray&)>;

    PacketWriter(Sink sink, int packetSize);

    void setPacketSize(int size) { m_packetSize = size; }
    void setSpid(quint16 spid) { m_spid = spid; }
    // The payload being built; call sendFull() after appending to it.
    QByteArray& payload() { return m_payload; }
    void sendFull();
    // Sends what is left as the message's last packet (an empty one when nothing is).
    void endMessage();

private:
    void send(qsizetype offset, qsizetype size, bool last);

    Sink m_sink;
    int m_packetSize;
    quint16 m_spid = 0;
    quint8 m_packetId = 1;
    QByteArray m_payload;
};

} // namespace glimora::engine::tds
