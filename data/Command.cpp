#include "data/Command.h"

#include "data/DbError.h"
#include "data/RecordsetData.h"
#include "data/Session.h"
#include "data/StatementRecorder.h"

#include <new>

namespace glimora::data {

struct Command::Data
{
    Connection activeConnection;
    QString commandText;
    int commandTimeout = 30;
};

Command Command::create()
{
    Command command;
    command.m_data = std::make_shared<Data>();
    return command;
}

Connection Command::ActiveConnection() const
{
    return data().activeConnection;
}

void Command::SetActiveConnection(const Connection& connection)
{
    data().activeConnection = connection;
}

QString Command::CommandText() const
{
    return data().commandText;
}

void Command::SetCommandText(const QString& text)
{
    data().commandText = text;
}

int Command::CommandTimeout() const
{
    return data().commandTimeout;
}

void Command::SetCommandTimeout(int seconds)
{
    data().commandTimeout = seconds;
}

Recordset Command::Execute()
{
    return Execute(nullptr);
}

Recordset Command::Execute(long* recordsAffected)
{
    const Data& d = data();
    if (d.activeConnection.isNull())
        throw DbError::connectionInvalid();
    const std::shared_ptr<Session> session = d.activeConnection.session();
    StatementRecorder::record(d.commandText);
    try {
        ExecuteResult result = session->execute(d.commandText, d.commandTimeout);
        if (recordsAffected)
            *recordsAffected = long(result.rowsAffected);
        return Recordset(RecordsetData::open(session, std::move(result), d.commandTimeout));
    } catch (const std::bad_alloc&) {
        // A result too large for memory is a database failure the screen can report.
        throw DbError(DbError::OutOfMemory, QStringLiteral("Out of memory."));
    }
}

Command::Data& Command::data() const
{
    if (!m_data)
        throw DbError::invalidPointer();
    return *m_data;
}

} // namespace glimora::data
