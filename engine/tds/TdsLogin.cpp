#include "engine/tds/TdsLogin.h"

#include "engine/tds/TdsBytes.h"

#include <array>

namespace glimora::engine::tds {

namespace {

enum PreLoginOption : quint8 {
    Version = 0,
    EncryptionOption = 1,
    InstanceOption = 2,
    ThreadId = 3,
    Mars = 4,
    Terminator = 0xFF,
};

// LOGIN7's fixed part up to and including cbSSPILong (TDS 7.2 and later).
constexpr int Login7FixedSize = 94;
constexpr int OffsetTable = 36;

quint8 swapHalves(quint8 byte)
{
    return quint8((byte << 4) | (byte >> 4));
}

QString fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return {};
}

} // namespace

std::optional<PreLogin> parsePreLogin(const QByteArray& payload, QString* why)
{
    PreLogin result;
    TdsReader reader(payload);
    for (int options = 0;; ++options) {
        const quint8 token = reader.u8();
        if (!reader.ok() || options > 64) {
            fail(why, QStringLiteral("PRELOGIN options without their terminator"));
            return std::nullopt;
        }
        if (token == Terminator)
            break;
        const quint16 offset = reader.u16be();
        const quint16 length = reader.u16be();
        if (!reader.ok() || offset + length > payload.size()) {
            fail(why, QStringLiteral("PRELOGIN option %1 beyond the message").arg(token));
            return std::nullopt;
        }
        if (token == EncryptionOption && length >= 1) {
            const quint8 value = quint8(payload[offset]);
            // Bit 7 (client certificate) is not offered; the rest is the encryption value.
            result.encryption = Encryption(value & 0x03);
        } else if (token == Mars && length >= 1) {
            result.mars = payload[offset] != 0;
        }
    }
    return result;
}

QByteArray preLoginResponse(Encryption encryption)
{
    // Option table: version (6 bytes), encryption (1), instance (1: none), thread id (0), MARS (1).
    const std::array<std::pair<quint8, quint16>, 5> options { { { Version, 6 }, { EncryptionOption, 1 },
        { InstanceOption, 1 }, { ThreadId, 0 }, { Mars, 1 } } };
    QByteArray out;
    TdsWriter writer(out);
    quint16 offset = quint16(options.size() * 5 + 1);
    for (const auto& [token, length] : options) {
        writer.u8(token);
        writer.u16be(offset);
        writer.u16be(length);
        offset = quint16(offset + length);
    }
    writer.u8(Terminator);
    // Version 11.0.2100 (the first server of TDS 7.4), subbuild 0.
    writer.u8(11);
    writer.u8(0);
    writer.u16be(2100);
    writer.u16be(0);
    writer.u8(quint8(encryption));
    writer.u8(0);
    writer.u8(0);
    return out;
}

std::optional<Login7> parseLogin7(const QByteArray& payload, QString* why)
{
    if (payload.size() < Login7FixedSize) {
        fail(why, QStringLiteral("LOGIN7 shorter than its fixed part"));
        return std::nullopt;
    }
    TdsReader reader(payload);
    const quint32 length = reader.u32();
    // The length field counts the whole message; anything else (2 GB, say) is not believed.
    if (length != quint32(payload.size())) {
        fail(why, QStringLiteral("LOGIN7 length %1 is not the message's %2").arg(length).arg(payload.size()));
        return std::nullopt;
    }
    Login7 login;
    login.tdsVersion = reader.u32();
    login.packetSize = reader.u32();
    reader.bytes(4 + 4 + 4); // client program version, process id, connection id
    reader.u8(); // option flags 1
    login.integratedSecurity = (reader.u8() & 0x80) != 0;

    // Offset and length pairs: host, user, password, app, server, extension, library,
    // language, database; then the client id, SSPI, attach file and change password.
    auto text = [&](int slot, QString& target) -> bool {
        TdsReader entry(payload);
        entry.bytes(OffsetTable + slot * 4);
        const quint16 offset = entry.u16();
        const quint16 characters = entry.u16();
        if (characters > LongestLoginText) {
            fail(why, QStringLiteral("LOGIN7 text longer than %1 characters").arg(LongestLoginText));
            return false;
        }
        if (characters == 0)
            return true;
        if (offset < Login7FixedSize || qsizetype(offset) + qsizetype(characters) * 2 > payload.size()) {
            fail(why, QStringLiteral("LOGIN7 text beyond the message"));
            return false;
        }
        TdsReader at(payload);
        at.bytes(offset);
        target = at.ucs2(characters);
        return true;
    };
    QString password;
    if (!text(0, login.hostName) || !text(1, login.userName) || !text(2, password) || !text(3, login.appName)
        || !text(4, login.serverName) || !text(6, login.libraryName) || !text(7, login.language)
        || !text(8, login.database))
        return std::nullopt;
    QString newPassword;
    // Change password sits after the client id (6 bytes) and the SSPI and attach-file pairs.
    {
        TdsReader entry(payload);
        entry.bytes(OffsetTable + 9 * 4 + 6 + 4 + 4);
        const quint16 offset = entry.u16();
        const quint16 characters = entry.u16();
        if (characters > LongestLoginText
            || (characters > 0
                && (offset < Login7FixedSize
                    || qsizetype(offset) + qsizetype(characters) * 2 > payload.size()))) {
            fail(why, QStringLiteral("LOGIN7 new password malformed"));
            return std::nullopt;
        }
        TdsReader at(payload);
        at.bytes(offset);
        newPassword = at.ucs2(characters);
    }
    auto clear = [](const QString& hidden) {
        QString plain;
        plain.reserve(hidden.size());
        for (const QChar c : hidden) {
            const quint8 low = swapHalves(quint8(c.unicode() & 0xFF) ^ 0xA5);
            const quint8 high = swapHalves(quint8(c.unicode() >> 8) ^ 0xA5);
            plain.append(QChar(char16_t((high << 8) | low)));
        }
        return plain;
    };
    login.password = clear(password);
    login.newPassword = clear(newPassword);
    return login;
}

QByteArray obfuscatePassword(const QString& password)
{
    QByteArray out;
    for (const QChar c : password) {
        out.append(char(swapHalves(quint8(c.unicode() & 0xFF)) ^ 0xA5));
        out.append(char(swapHalves(quint8(c.unicode() >> 8)) ^ 0xA5));
    }
    return out;
}

QByteArray login7Payload(const Login7& login)
{
    QByteArray variable;
    QByteArray offsets;
    TdsWriter table(offsets);
    auto add = [&](const QByteArray& ucs2, int characters) {
        table.u16(quint16(Login7FixedSize + variable.size()));
        table.u16(quint16(characters));
        variable.append(ucs2);
    };
    auto addText = [&](const QString& text) {
        QByteArray bytes;
        TdsWriter(bytes).ucs2(text);
        add(bytes, int(text.size()));
    };
    addText(login.hostName);
    addText(login.userName);
    add(obfuscatePassword(login.password), int(login.password.size()));
    addText(login.appName);
    addText(login.serverName);
    add({}, 0); // extension
    addText(login.libraryName);
    addText(login.language);
    addText(login.database);
    offsets.append(6, '\0'); // client id
    add({}, 0); // SSPI
    add({}, 0); // attach file
    add(obfuscatePassword(login.newPassword), int(login.newPassword.size()));
    TdsWriter(offsets).u32(0); // long SSPI

    QByteArray out;
    TdsWriter writer(out);
    writer.u32(quint32(Login7FixedSize + variable.size()));
    writer.u32(login.tdsVersion);
    writer.u32(login.packetSize);
    writer.u32(0x07000000);
    writer.u32(4242);
    writer.u32(0);
    writer.u8(0xE0);
    writer.u8(login.integratedSecurity ? 0x83 : 0x03);
    writer.u8(0);
    writer.u8(0);
    writer.u32(0);
    writer.u32(0x0409);
    out.append(offsets);
    out.append(variable);
    return out;
}

} // namespace glimora::engine::tds
