#include "engine/tds/TdsLogin.h"
#include "engine/tds/TdsPacket.h"
#include "engine/tds/TdsRpc.h"
#include "tests/fuzz/FuzzTargets.h"

namespace glimora::fuzz {

using namespace engine::tds;

// Bytes: the first says how the rest arrives (slice length), the rest is what a client sent.
// Each message is read as a PRELOGIN, a LOGIN7 and an RPC request.
int tdsMessages(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 256 * 1024)
        return 0;
    const qsizetype slice = 1 + data[0] % 64;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    constexpr qsizetype cap = 32 * 1024;
    MessageReader reader(data[0] & 0x80 ? 512 : 4096, cap);
    bool failed = false;
    for (qsizetype at = 0; at < stream.size() && !failed; at += slice) {
        reader.feed(stream.mid(at, slice));
        Message message;
        MessageReader::Result result;
        while ((result = reader.next(message)) == MessageReader::Result::Ready) {
            fuzzCheck(message.payload.size() <= cap, "a message stays within the cap");
            parsePreLogin(message.payload, nullptr);
            QString why;
            if (const std::optional<RpcRequest> rpc = parseRpc(message.payload, &why)) {
                for (const RpcParameter& parameter : rpc->parameters)
                    fuzzCheck(!parameter.literal.isEmpty(), "every parameter reads as T-SQL");
                executeSqlBatch(*rpc, &why);
            } else {
                fuzzCheck(!why.isEmpty(), "a refused request says why");
            }
            const std::optional<Login7> login = parseLogin7(message.payload, &why);
            if (!login) {
                fuzzCheck(!why.isEmpty(), "a refused login says why");
                continue;
            }
            fuzzCheck(
                login->userName.size() <= LongestLoginText && login->password.size() <= LongestLoginText,
                "login texts stay within their limit");
            // What was read, written again, reads the same.
            const std::optional<Login7> again = parseLogin7(login7Payload(*login), nullptr);
            fuzzCheck(again && again->userName == login->userName && again->password == login->password
                    && again->database == login->database && again->packetSize == login->packetSize,
                "a login reads back as it was written");
        }
        failed = result == MessageReader::Result::Failed;
        if (failed)
            fuzzCheck(!reader.error().isEmpty(), "lost framing says why");
    }
    return 0;
}

} // namespace glimora::fuzz
