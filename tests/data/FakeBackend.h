#pragma once

#include "data/Backend.h"
#include "data/DbError.h"

#include <functional>
#include <memory>
#include <optional>
#include <QMap>
#include <QStringList>

namespace glimora::data::test {

// What the fake server answers to one statement.
struct FakeResult
{
    QList<FieldInfo> fields; // no fields: the statement returns no result set
    QList<QList<Variant>> rows;
    qint64 rowsAffected = -1;
    std::optional<DbError> error;
    int failAfterRows = -1; // the cursor fails when asked for this row
};

// The state behind the fake backend: canned answers, a log of what was sent and how many
// rows were fetched. Like ODBC and TDS, a session refuses a new batch while a cursor of it
// still has unread rows.
struct FakeServer
{
    QMap<QString, FakeResult> answers; // by exact statement text
    std::function<FakeResult(const QString&)> fallback; // for every other statement
    QMap<QString, QStringList> primaryKeys;
    QMap<QString, QString> identityColumns;
    QStringList executed;
    QStringList connectionStrings;
    qint64 rowsFetched = 0;
    int openCursors = 0;
    std::optional<DbError> loginError;

    static QList<FieldInfo> fieldsOf(const QList<QPair<QString, DataType>>& columns);
};

class FakeBackend : public Backend
{
public:
    explicit FakeBackend(std::shared_ptr<FakeServer> server)
        : m_server(std::move(server))
    {
    }

    std::unique_ptr<BackendSession> open(
        const QString& connectionString, int connectionTimeoutSeconds) override;

private:
    std::shared_ptr<FakeServer> m_server;
};

} // namespace glimora::data::test
