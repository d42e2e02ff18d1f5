#include "engine/tds/TdsSession.h"

#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "engine/server/EmbeddedBackend.h"
#include "engine/server/EmbeddedSession.h"
#include "engine/storage/SessionCursor.h"
#include "engine/tds/LoginThrottle.h"
#include "engine/tds/TdsBytes.h"
#include "engine/tds/TdsLogin.h"
#include "engine/tds/TdsRpc.h"
#include "engine/tds/TdsTokens.h"

#include <QDateTime>
#include <QThread>

namespace glimora::engine::tds {

namespace {

constexpr quint32 Tds72 = 0x72090002;
constexpr quint32 Tds74 = 0x74000004;
constexpr int LoginTimeoutSeconds = 15;

// The engine's type of a column whose cursor does not tell it (another backend's cursor).
SqlType typeOfField(const data::FieldInfo& field)
{
    using data::DataType;
    using Base = SqlType::Base;
    const int length = field.definedSize > 0 ? field.definedSize : SqlType::MaxLength;
    switch (field.type) {
    case DataType::Boolean:
        return SqlType::of(Base::Bit);
    case DataType::SmallInt:
        return SqlType::of(Base::SmallInt);
    case DataType::Integer:
        return SqlType::of(Base::Int);
    case DataType::BigInt:
        return SqlType::of(Base::BigInt);
    case DataType::Decimal:
    case DataType::Numeric:
        return SqlType::of(Base::Numeric, 0, field.precision, field.scale);
    case DataType::Single:
        return SqlType::of(Base::Real);
    case DataType::Double:
        return SqlType::of(Base::Float);
    case DataType::DBTimeStamp:
        return SqlType::of(Base::DateTime);
    case DataType::VarChar:
    case DataType::LongVarChar:
        return SqlType::of(Base::VarChar, length);
    case DataType::VarBinary:
    case DataType::LongVarBinary:
        return SqlType::of(Base::VarBinary, length);
    default:
        return SqlType::of(Base::NVarChar, length);
    }
}

} // namespace

TdsSession::TdsSession(std::shared_ptr<EmbeddedBackend> backend, PacketWriter::Sink sink, QString serverName)
    : m_backend(std::move(backend))
    , m_writer(std::move(sink), 4096)
    , m_serverName(std::move(serverName))
{
}

TdsSession::~TdsSession() = default;

void TdsSession::cancel()
{
    m_cancelled = true;
    if (auto* embedded = dynamic_cast<EmbeddedSession*>(m_session.get()))
        embedded->cancel();
}

void TdsSession::setLoginThrottle(std::shared_ptr<LoginThrottle> throttle, const QString& address)
{
    m_throttle = std::move(throttle);
    m_address = address;
}

bool TdsSession::refuse(const QString& why)
{
    m_closeReason = why;
    return false;
}

void TdsSession::sendError(int number, int state, int severity, const QString& text, int line)
{
    token::message(m_writer.payload(), false, number, state, severity, text, m_serverName, line);
}

bool TdsSession::handle(const Message& message)
{
    if (!loggedIn()) {
        if (message.type == PacketType::PreLogin && !m_preLoginDone)
            return preLogin(message);
        if (message.type == PacketType::Login7)
            return login(message);
        return refuse(QStringLiteral("request of type %1 before the login").arg(int(message.type)));
    }
    switch (message.type) {
    case PacketType::SqlBatch:
        batch(message);
        return true;
    case PacketType::Attention:
        // The request it stopped has ended by now; this acknowledges the attention.
        m_cancelled = false;
        if (auto* embedded = dynamic_cast<EmbeddedSession*>(m_session.get()))
            embedded->clearCancel();
        token::done(m_writer.payload(), token::Done, token::DoneAttention, 0, 0);
        m_writer.endMessage();
        return true;
    case PacketType::Rpc:
        rpc(message);
        return true;
    case PacketType::TransactionManager:
    case PacketType::BulkLoad:
        sendError(0, 1, 16,
            QStringLiteral("This server takes SQL batches only; request type %1 is not served.")
                .arg(int(message.type)));
        token::done(m_writer.payload(), token::Done, token::DoneError, 0, 0);
        m_writer.endMessage();
        return true;
    default:
        return refuse(QStringLiteral("request of type %1 after the login").arg(int(message.type)));
    }
}

bool TdsSession::preLogin(const Message& message)
{
    m_preLoginDone = true;
    QString why;
    const std::optional<PreLogin> request = parsePreLogin(message.payload, &why);
    if (!request)
        return refuse(why);
    m_writer.payload().append(preLoginResponse(Encryption::NotSupported));
    m_writer.endMessage();
    // The client then ends the connection itself; the log says why it could not go on.
    if (request->encryption == Encryption::Required || request->encryption == Encryption::On)
        return refuse(QStringLiteral("the client requires encryption, which this server does not offer yet"));
    return true;
}

bool TdsSession::login(const Message& message)
{
    QString why;
    const std::optional<Login7> request = parseLogin7(message.payload, &why);
    if (!request)
        return refuse(why);
    m_userName = request->userName;
    auto fail = [&](int number, int severity, int state, const QString& text) {
        if (m_throttle) {
            const qint64 delay = m_throttle->failed(m_address, QDateTime::currentMSecsSinceEpoch());
            if (delay > 0)
                QThread::msleep(quint64(delay));
        }
        sendError(number, state, severity, text);
        token::done(m_writer.payload(), token::Done, token::DoneError, 0, 0);
        m_writer.endMessage();
        return refuse(QStringLiteral("login of '%1' refused: %2").arg(request->userName, text));
    };
    const QString loginFailed = QStringLiteral("Login failed for user '%1'.").arg(request->userName);
    if (request->tdsVersion < Tds72)
        return fail(18456, 14, 1, loginFailed);
    m_tdsVersion = qMin(request->tdsVersion, Tds74);
    if (request->integratedSecurity)
        return fail(18452, 14, 1,
            QStringLiteral(
                "Login failed. The login is from an untrusted domain and cannot be used with Integrated "
                "authentication."));
    if (!request->newPassword.isEmpty())
        return fail(18456, 14, 1, loginFailed);
    try {
        using data::ConnectionString;
        const QString connection = QStringLiteral("UID=")
            + ConnectionString::quoteValue(request->userName, QStringLiteral("The user name"))
            + QStringLiteral(";PWD=")
            + ConnectionString::quoteValue(request->password, QStringLiteral("The password"))
            + QStringLiteral(";DATABASE=")
            + ConnectionString::quoteValue(request->database, QStringLiteral("The database name"));
        m_session = m_backend->open(connection, LoginTimeoutSeconds);
    } catch (const data::DbError& error) {
        if (error.nativeError() == 0)
            return fail(18456, 14, 1, loginFailed);
        return fail(error.nativeError(), error.severity(), error.state(), error.description());
    }
    if (m_throttle)
        m_throttle->succeeded(m_address);
    if (const auto* embedded = dynamic_cast<const EmbeddedSession*>(m_session.get()))
        m_writer.setSpid(quint16(embedded->spid()));

    const int requested = int(qMin<quint32>(request->packetSize, LargestPacketSize));
    const int packetSize = requested == 0 ? 4096 : qBound(SmallestPacketSize, requested, LargestPacketSize);
    m_database = m_session->currentDatabase();
    QByteArray& out = m_writer.payload();
    token::envChange(out, token::Database, m_database, QStringLiteral("master"));
    token::message(out, true, 5701, 2, 0, QStringLiteral("Changed database context to '%1'.").arg(m_database),
        m_serverName, 1);
    token::collationChange(out);
    token::envChange(out, token::Language, QStringLiteral("us_english"), QString());
    token::message(
        out, true, 5703, 1, 0, QStringLiteral("Changed language setting to us_english."), m_serverName, 1);
    token::loginAck(out, m_tdsVersion);
    token::envChange(out, token::PacketSize, QString::number(packetSize), QString::number(m_packetSize));
    token::done(out, token::Done, token::DoneFinal, 0, 0);
    m_writer.endMessage();
    m_packetSize = packetSize;
    m_writer.setPacketSize(packetSize);
    return true;
}

void TdsSession::databaseChanged(const QString& from, const QString& to)
{
    if (to.isEmpty() || from == to)
        return;
    m_database = to;
    token::envChange(m_writer.payload(), token::Database, to, from);
    token::message(m_writer.payload(), true, 5701, 1, 0,
        QStringLiteral("Changed database context to '%1'.").arg(to), m_serverName, 1);
}

void TdsSession::batch(const Message& message)
{
    QByteArray& out = m_writer.payload();
    if (m_cancelled) {
        token::done(out, token::Done, token::DoneError, 0, 0);
        m_writer.endMessage();
        return;
    }
    TdsReader reader(message.payload);
    // ALL_HEADERS: its length counts itself; a length beyond the message is not believed.
    const quint32 headers = reader.u32();
    if (!reader.ok() || headers < 4 || headers > quint32(message.payload.size())
        || (message.payload.size() - qsizetype(headers)) % 2 != 0) {
        sendError(0, 1, 16, QStringLiteral("The SQL batch request is malformed."));
        token::done(out, token::Done, token::DoneError, 0, 0);
        m_writer.endMessage();
        return;
    }
    TdsReader text(message.payload);
    text.bytes(headers);
    run(text.ucs2(text.remaining() / 2), token::Done, 0);
    m_writer.endMessage();
}

void TdsSession::run(const QString& batch, token::DoneKind kind, quint16 more)
{
    QByteArray& out = m_writer.payload();
    const QString before = m_database;
    data::ExecuteResult result;
    try {
        result = m_session->execute(batch, 0);
    } catch (const data::DbError& error) {
        databaseChanged(before, m_session->currentDatabase());
        if (m_cancelled) {
            // The client drops all but the attention's acknowledgement.
            token::done(out, kind, token::DoneError | more, 0, 0);
            return;
        }
        sendError(error.nativeError() > 0 ? error.nativeError() : 50000, error.state(), error.severity(),
            error.description(), error.lineNumber());
        token::done(out, kind, token::DoneError | more, 0, 0);
        return;
    }
    databaseChanged(before, m_session->currentDatabase());
    if (!result.cursor || result.cursor->fields().isEmpty()) {
        if (result.rowsAffected >= 0)
            token::done(out, kind, token::DoneCount | more, 0, quint64(result.rowsAffected));
        else
            token::done(out, kind, token::DoneFinal | more, 0, 0);
        return;
    }
    if (result.rowsAffected >= 0)
        token::done(out, kind, token::DoneMore | token::DoneCount, 0, quint64(result.rowsAffected));
    const QList<data::FieldInfo> fields = result.cursor->fields();
    QList<SqlType> types;
    if (const auto* cursor = dynamic_cast<const SessionCursor*>(result.cursor.get())) {
        types = cursor->columnTypes();
    } else {
        for (const data::FieldInfo& field : fields)
            types.append(typeOfField(field));
    }
    const ResultEncoder encoder(fields, types);
    encoder.metadata(out);
    quint64 rows = 0;
    try {
        QList<data::Variant> row;
        while (!m_cancelled && result.cursor->fetchRow(row)) {
            encoder.row(out, row);
            ++rows;
            m_writer.sendFull();
        }
    } catch (const data::DbError& error) {
        sendError(error.nativeError() > 0 ? error.nativeError() : 50000, error.state(), error.severity(),
            error.description(), error.lineNumber());
        token::done(out, kind, token::DoneError | token::DoneCount | more, token::CommandSelect, rows);
        return;
    }
    token::done(out, kind, token::DoneCount | more, token::CommandSelect, rows);
}

void TdsSession::rpc(const Message& message)
{
    QByteArray& out = m_writer.payload();
    QString why;
    const std::optional<RpcRequest> request = parseRpc(message.payload, &why);
    std::optional<QString> batch;
    std::optional<int> handle; // sp_prepare's answer, as its output parameter
    bool done = false; // a request that runs nothing
    const QString procedure = request ? request->procedure : QString();
    const QList<RpcParameter> parameters = request ? request->parameters : QList<RpcParameter>();
    if (procedure == QLatin1String("sp_executesql")) {
        batch = executeSqlBatch(*request, &why);
    } else if (procedure == QLatin1String("sp_prepare") || procedure == QLatin1String("sp_prepexec")) {
        if (parameters.size() < 3 || parameters[2].isNull) {
            why = QStringLiteral(
                "Procedure or function '%1' expects parameter '@stmt', which was not supplied.")
                      .arg(procedure);
        } else if (m_prepared.size() >= 10000) {
            why = QStringLiteral("This session holds too many prepared statements.");
        } else {
            handle = ++m_lastHandle;
            m_prepared.insert(*handle, { parameters[1].text, parameters[2].text });
            if (procedure == QLatin1String("sp_prepexec"))
                batch = parameterBatch(parameters[2].text, parameters[1].text, parameters.mid(3), &why);
            else
                done = true;
        }
    } else if (procedure == QLatin1String("sp_execute") || procedure == QLatin1String("sp_unprepare")) {
        const int number = parameters.isEmpty() ? 0 : parameters[0].literal.toInt();
        const auto prepared = m_prepared.constFind(number);
        if (prepared == m_prepared.constEnd()) {
            why = QStringLiteral("Could not find prepared statement with handle %1.").arg(number);
        } else if (procedure == QLatin1String("sp_unprepare")) {
            m_prepared.remove(number);
            done = true;
        } else {
            batch = parameterBatch(prepared->statement, prepared->definitions, parameters.mid(1), &why);
        }
    } else if (request) {
        why = QStringLiteral("This server does not serve the procedure '%1' as an RPC request yet.")
                  .arg(procedure);
    }
    if (m_cancelled || (!batch && !done)) {
        if (!m_cancelled)
            sendError(request ? 2812 : 0, 1, 16, why);
        token::done(out, token::DoneProc, token::DoneError, 0, 0);
        m_writer.endMessage();
        return;
    }
    if (batch)
        run(*batch, token::DoneInProc, token::DoneMore);
    TdsWriter writer(out);
    writer.u8(0x79); // RETURNSTATUS
    writer.u32(0);
    if (handle) {
        writer.u8(0xAC); // RETURNVALUE: the handle, an int output parameter
        writer.u16(0);
        writer.bVarchar(parameters[0].name);
        writer.u8(0x01);
        writer.u32(0);
        writer.u16(0x0001);
        writer.u8(0x26);
        writer.u8(4);
        writer.u8(4);
        writer.u32(quint32(*handle));
    }
    token::done(out, token::DoneProc, token::DoneFinal, 0, 0);
    m_writer.endMessage();
}

} // namespace glimora::engine::tds
