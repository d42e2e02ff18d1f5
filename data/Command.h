#pragma once

#include "data/Connection.h"
#include "data/Recordset.h"

#include <memory>
#include <QString>

namespace glimora::data {

// ADO's Command, used as a text command. Copies share one command object; a
// default-constructed Command is unset and raises the invalid-pointer error.
class Command
{
public:
    Command() = default;
    static Command create();
    bool isNull() const { return m_data == nullptr; }

    Connection ActiveConnection() const;
    void SetActiveConnection(const Connection& connection);
    QString CommandText() const;
    void SetCommandText(const QString& text);
    int CommandTimeout() const;
    void SetCommandTimeout(int seconds); // ADO's default 30; 0: no limit

    // Sends the command text; the first result set of the batch comes back as an open
    // record set, a batch without rows as a closed one. The text goes to the
    // StatementRecorder first, so a failing statement is recorded as well.
    Recordset Execute();
    // As ADO's Execute with its RecordsAffected argument: the rows the batch's last change
    // touched, -1 when the server does not say.
    Recordset Execute(long* recordsAffected);

private:
    struct Data;
    Data& data() const;

    std::shared_ptr<Data> m_data;
};

} // namespace glimora::data
