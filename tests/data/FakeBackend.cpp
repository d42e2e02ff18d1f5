#include "FakeBackend.h"

namespace glimora::data::test {

namespace {

class FakeCursor : public BackendCursor
{
public:
    FakeCursor(std::shared_ptr<FakeServer> server, FakeResult result, std::shared_ptr<bool> sessionBusy)
        : m_server(std::move(server))
        , m_result(std::move(result))
        , m_sessionBusy(std::move(sessionBusy))
    {
        ++m_server->openCursors;
        *m_sessionBusy = true;
    }

    ~FakeCursor() override
    {
        --m_server->openCursors;
        *m_sessionBusy = false;
    }

    const QList<FieldInfo>& fields() const override { return m_result.fields; }

    bool fetchRow(QList<Variant>& row) override
    {
        if (m_next == m_result.failAfterRows)
            throw DbError(DbError::ProviderFailure, QStringLiteral("fake failure while reading"));
        if (m_next >= m_result.rows.size()) {
            *m_sessionBusy = false;
            return false;
        }
        row = m_result.rows[m_next++];
        ++m_server->rowsFetched;
        return true;
    }

private:
    std::shared_ptr<FakeServer> m_server;
    FakeResult m_result;
    qsizetype m_next = 0;
    std::shared_ptr<bool> m_sessionBusy;
};

class FakeSession : public BackendSession
{
public:
    explicit FakeSession(std::shared_ptr<FakeServer> server)
        : m_server(std::move(server))
    {
    }

    ExecuteResult execute(const QString& batch, int) override
    {
        if (*m_busy)
            throw DbError(DbError::ProviderFailure,
                QStringLiteral("Connection is busy with results for another hstmt"));
        m_server->executed.append(batch);
        FakeResult result;
        if (m_server->answers.contains(batch))
            result = m_server->answers.value(batch);
        else if (m_server->fallback)
            result = m_server->fallback(batch);
        if (result.error)
            throw *result.error;
        ExecuteResult executed;
        executed.rowsAffected = result.rowsAffected;
        if (!result.fields.isEmpty())
            executed.cursor = std::make_unique<FakeCursor>(m_server, result, m_busy);
        return executed;
    }

    QStringList primaryKeyColumns(const QString& table) override
    {
        if (*m_busy)
            throw DbError(DbError::ProviderFailure,
                QStringLiteral("Connection is busy with results for another hstmt"));
        return m_server->primaryKeys.value(table);
    }

    QString identityColumn(const QString& table) override { return m_server->identityColumns.value(table); }

private:
    std::shared_ptr<FakeServer> m_server;
    std::shared_ptr<bool> m_busy = std::make_shared<bool>(false);
};

} // namespace

QList<FieldInfo> FakeServer::fieldsOf(const QList<QPair<QString, DataType>>& columns)
{
    QList<FieldInfo> fields;
    for (const auto& [name, type] : columns) {
        FieldInfo field;
        field.name = name;
        field.type = type;
        fields.append(field);
    }
    return fields;
}

std::unique_ptr<BackendSession> FakeBackend::open(const QString& connectionString, int)
{
    m_server->connectionStrings.append(connectionString);
    if (m_server->loginError)
        throw *m_server->loginError;
    return std::make_unique<FakeSession>(m_server);
}

} // namespace glimora::data::test
