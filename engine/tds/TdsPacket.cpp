#include "engine/tds/TdsPacket.h"

namespace glimora::engine::tds {

namespace {

bool knownType(quint8 type)
{
    switch (PacketType(type)) {
    case PacketType::SqlBatch:
    case PacketType::Rpc:
    case PacketType::Attention:
    case PacketType::BulkLoad:
    case PacketType::TransactionManager:
    case PacketType::Login7:
    case PacketType::Sspi:
    case PacketType::PreLogin:
        return true;
    case PacketType::TabularResult:
        break;
    }
    return false;
}

} // namespace

MessageReader::MessageReader(int largestPacket, qsizetype largestMessage)
    : m_largestPacket(largestPacket)
    , m_largestMessage(largestMessage)
{
}

void MessageReader::feed(const QByteArray& bytes)
{
    if (m_consumed > 0 && m_consumed >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_consumed);
        m_consumed = 0;
    }
    m_buffer.append(bytes);
}

MessageReader::Result MessageReader::fail(const QString& why)
{
    m_error = why;
    m_buffer.clear();
    m_consumed = 0;
    return Result::Failed;
}

MessageReader::Result MessageReader::next(Message& message)
{
    if (!m_error.isEmpty())
        return Result::Failed;
    while (m_buffer.size() - m_consumed >= PacketHeaderSize) {
        const auto* header = reinterpret_cast<const uchar*>(m_buffer.constData() + m_consumed);
        const quint8 type = header[0];
        const quint8 status = header[1];
        const int length = (header[2] << 8) | header[3];
        if (!knownType(type))
            return fail(QStringLiteral("packet of unknown type %1").arg(type));
        if (length < PacketHeaderSize || length > m_largestPacket)
            return fail(QStringLiteral("packet length %1 outside 8..%2").arg(length).arg(m_largestPacket));
        if (m_started && PacketType(type) != m_current.type)
            return fail(QStringLiteral("packet of type %1 inside a message of type %2")
                            .arg(type)
                            .arg(int(m_current.type)));
        if (m_buffer.size() - m_consumed < length)
            return Result::NeedMore;
        if (!m_started) {
            m_current = Message { PacketType(type), 0, {} };
            m_started = true;
        }
        const qsizetype body = length - PacketHeaderSize;
        if (m_current.payload.size() + body > m_largestMessage)
            return fail(QStringLiteral("message longer than %1 bytes").arg(m_largestMessage));
        m_current.payload.append(m_buffer.constData() + m_consumed + PacketHeaderSize, body);
        m_consumed += length;
        if (m_consumed == m_buffer.size()) {
            m_buffer.clear();
            m_consumed = 0;
        }
        if (status & StatusEndOfMessage) {
            m_started = false;
            m_current.status = status;
            // The client gave up on the message it was sending: nothing to answer.
            if (status & StatusIgnore) {
                m_current = {};
                continue;
            }
            message = std::exchange(m_current, {});
            return Result::Ready;
        }
    }
    return Result::NeedMore;
}

PacketWriter::PacketWriter(Sink sink, int packetSize)
    : m_sink(std::move(sink))
    , m_packetSize(packetSize)
{
}

void PacketWriter::send(qsizetype offset, qsizetype size, bool last)
{
    QByteArray packet;
    packet.reserve(PacketHeaderSize + size);
    const int length = int(PacketHeaderSize + size);
    packet.append(char(PacketType::TabularResult));
    packet.append(char(last ? StatusEndOfMessage : 0));
    packet.append(char(length >> 8));
    packet.append(char(length));
    packet.append(char(m_spid >> 8));
    packet.append(char(m_spid));
    packet.append(char(m_packetId));
    packet.append(char(0));
    packet.append(m_payload.constData() + offset, size);
    m_packetId = quint8(m_packetId + 1);
    m_sink(packet);
}

void PacketWriter::sendFull()
{
    const qsizetype body = m_packetSize - PacketHeaderSize;
    qsizetype offset = 0;
    while (m_payload.size() - offset > body) {
        send(offset, body, false);
        offset += body;
    }
    m_payload.remove(0, offset);
}

void PacketWriter::endMessage()
{
    sendFull();
    send(0, m_payload.size(), true);
    m_payload.clear();
    m_packetId = 1;
}

} // namespace glimora::engine::tds
