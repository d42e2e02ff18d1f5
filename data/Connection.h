#pragma once

#include <memory>
#include <QString>

namespace glimora::data {

class Backend;
class Session;

// ADO's Connection. Copies share one connection object, as COM pointers do; a
// default-constructed Connection is unset and every call raises the invalid-pointer error.
// Methods named after ADO's operations keep ADO's names.
class Connection
{
public:
    static constexpr long StateClosed = 0; // adStateClosed
    static constexpr long StateOpen = 1; // adStateOpen

    Connection() = default;
    // A new, closed connection (CreateInstance).
    static Connection create();
    bool isNull() const { return m_data == nullptr; }

    int ConnectionTimeout() const;
    void SetConnectionTimeout(int seconds); // 0: no limit
    int CommandTimeout() const;
    void SetCommandTimeout(int seconds); // 0: no limit
    QString ConnectionString() const;

    long State() const;
    // Opens through the backend that the server name and the settings choose.
    void Open(const QString& connectionString);
    // Opens through the given backend (tools and tests).
    void Open(const QString& connectionString, const std::shared_ptr<Backend>& backend);
    // Record sets read from this connection stay readable: one that has not read all its
    // rows reads the rest first. Writing through them fails from now on.
    void Close();

    // The open session; raises the invalid-connection error when closed.
    std::shared_ptr<Session> session() const;

    friend bool operator==(const Connection& a, const Connection& b) { return a.m_data == b.m_data; }

private:
    struct Data;
    Data& data() const;

    std::shared_ptr<Data> m_data;
};

} // namespace glimora::data
