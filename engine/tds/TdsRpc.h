#pragma once

#include <optional>
#include <QByteArray>
#include <QList>
#include <QString>

namespace glimora::engine::tds {

// A parameter of an RPC request, as T-SQL text for the batch that runs it.
struct RpcParameter
{
    QString name; // with its "@", empty when given by position
    bool output = false;
    bool isNull = false;
    QString literal; // NULL, a number, N'text', 0x..., '2024-02-29 13:45:10.123'
    QString text; // a string parameter's own characters (the statement of sp_executesql)
};

struct RpcRequest
{
    QString procedure; // lower case, without "sys." or "dbo."
    QList<RpcParameter> parameters;
};

// The first request of an RPC message; nullopt with the reason for what it cannot read.
std::optional<RpcRequest> parseRpc(const QByteArray& payload, QString* why);

// sp_executesql's call as one batch: each declared parameter a variable set to its value,
// then the statement on the same line, so that errors keep the statement's line numbers.
std::optional<QString> executeSqlBatch(const RpcRequest& request, QString* why);
// The same for a statement, its declarations and the values given by name or position.
std::optional<QString> parameterBatch(
    const QString& statement, const QString& definitions, const QList<RpcParameter>& values, QString* why);

} // namespace glimora::engine::tds
