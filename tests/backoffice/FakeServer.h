#pragma once

#include "data/Backend.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"

#include <QStringList>
#include <stdexcept>

// A server that knows one login and records every batch; creating what exists fails as a
// real server does.
class FakeServer : public glimora::data::Backend
{
public:
    QString user = QStringLiteral("sa");
    QString password = QStringLiteral("secret");
    QStringList connectionStrings;
    QStringList batches;
    bool databaseExists = false;
    // A batch that starts with this fails with an exception that is not the server's answer.
    QString unexpectedFailure;

    std::unique_ptr<glimora::data::BackendSession> open(const QString& connectionString, int) override
    {
        using glimora::data::ConnectionString;
        connectionStrings << connectionString;
        if (ConnectionString::value(connectionString, "Uid") != user
            || ConnectionString::value(connectionString, "pwd") != password)
            throw glimora::data::DbError(glimora::data::DbError::ProviderFailure,
                QStringLiteral("Login failed for user '%1'.").arg(user), 18456, 14);
        return std::make_unique<Session>(*this);
    }

private:
    class Session : public glimora::data::BackendSession
    {
    public:
        explicit Session(FakeServer& server)
            : m_server(server)
        {
        }
        glimora::data::ExecuteResult execute(const QString& batch, int) override
        {
            m_server.batches << batch;
            if (!m_server.unexpectedFailure.isEmpty() && batch.startsWith(m_server.unexpectedFailure))
                throw std::runtime_error("the driver went away");
            if (batch.startsWith("create database")) {
                if (m_server.databaseExists)
                    throw glimora::data::DbError(glimora::data::DbError::ProviderFailure, "exists", 1801);
                m_server.databaseExists = true;
            }
            return {};
        }
        QStringList primaryKeyColumns(const QString&) override { return {}; }

    private:
        FakeServer& m_server;
    };
};
