#include "app/StationHeartbeat.h"

#include "app/BackgroundAttempt.h"
#include "app/ScheduledBackups.h"
#include "data/Command.h"
#include "data/Connection.h"
#include "data/ConnectionSetup.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "platform/ComputerName.h"
#include "platform/EventLog.h"
#include "query/LastVisitorQuestion.h"
#include "settings/StatusSetting.h"

#include <QCoreApplication>

namespace glimora::app {

using backoffice::StatusStatements;

// Kept open from beat to beat, and used by one worker at a time.
struct StationHeartbeat::OwnConnection
{
    data::Connection connection;
    QString connectionString;
};

StationHeartbeat::StationHeartbeat(
    QString station, int intervalSeconds, Clock clock, Writer writer, QObject* parent)
    : QObject(parent)
    , m_station(std::move(station))
    , m_intervalSeconds(std::max(intervalSeconds, 1))
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
    , m_writer(std::move(writer))
    , m_own(std::make_shared<OwnConnection>())
{
    m_startedAt = m_clock();
    connect(&m_timer, &QTimer::timeout, this, &StationHeartbeat::beat);
    m_timer.start(m_intervalSeconds * 1000);
}

StationHeartbeat::~StationHeartbeat() = default;

std::unique_ptr<StationHeartbeat> StationHeartbeat::fromSettings(QObject* parent)
{
    if (!settings::StatusSetting::enabled())
        return nullptr;
    QString station = settings::StatusSetting::station();
    if (station.isEmpty())
        station = platform::computerName();
    return std::make_unique<StationHeartbeat>(
        station, settings::StatusSetting::intervalSeconds(), Clock(), Writer(), parent);
}

bool StationHeartbeat::running() const
{
    return m_attempt && m_attempt->running();
}

backoffice::StationBeat StationHeartbeat::currentBeat() const
{
    backoffice::StationBeat beat;
    beat.station = m_station;
    beat.version = QCoreApplication::applicationVersion();
    beat.startedAt = m_startedAt;
    beat.beatSeconds = m_intervalSeconds;
    beat.lastQuestion = query::LastVisitorQuestion::at();
    const platform::EventLog::ShownErrors errors = platform::EventLog::shownErrors();
    beat.errors = errors.count;
    beat.lastErrorNumber = errors.lastNumber;
    beat.lastErrorText = errors.lastText;
    if (m_backups) {
        beat.lastBackup = m_backups->lastSuccess();
        beat.backupProblem = m_backups->lastProblem();
    }
    return beat;
}

void StationHeartbeat::beat()
{
    if (running()) {
        // The server has not answered the beat before: this one is missed too.
        ++m_failedBeats;
        m_lastProblem = QStringLiteral("the previous beat is still under way");
        return;
    }
    QStringList statements;
    if (!m_tableChecked)
        statements.append(StatusStatements::createTable());
    statements.append(StatusStatements::beat(currentBeat()));
    const Writer writer = m_writer ? m_writer : throughOwnConnection();
    m_attempt = std::make_unique<BackgroundAttempt>([writer, statements] { return writer(statements); });
    connect(m_attempt.get(), &BackgroundAttempt::finished, this, &StationHeartbeat::ended);
    m_attempt->start();
}

void StationHeartbeat::ended(const QString& problem)
{
    m_lastProblem = problem;
    // After a failure the table may be what is missing (a restore, a new database).
    m_tableChecked = problem.isEmpty();
    if (!problem.isEmpty())
        ++m_failedBeats;
    emit beatEnded(problem);
}

StationHeartbeat::Writer StationHeartbeat::throughOwnConnection() const
{
    // The login values as they are now, read here and not by the worker while a login may
    // change them.
    const data::LoginValues login = data::SharedDatabase::login();
    const QString connectionString = data::ConnectionSetup::fromSettings().connectionString(
        login.userName, login.password, login.serverName, login.databaseName);
    const std::shared_ptr<OwnConnection> own = m_own;
    return [own, connectionString](const QStringList& statements) -> QString {
        try {
            if (own->connection.isNull() || own->connection.State() != data::Connection::StateOpen
                || own->connectionString != connectionString) {
                if (!own->connection.isNull() && own->connection.State() == data::Connection::StateOpen)
                    own->connection.Close();
                own->connection = data::Connection::create();
                own->connection.Open(connectionString);
                own->connectionString = connectionString;
            }
            data::Command command = data::Command::create();
            command.SetActiveConnection(own->connection);
            for (const QString& statement : statements) {
                command.SetCommandText(statement);
                command.Execute();
            }
            return QString();
        } catch (const data::DbError& error) {
            // The connection may be what failed: the next beat opens a new one.
            own->connection = data::Connection();
            return error.description();
        } catch (const std::exception& error) {
            own->connection = data::Connection();
            return QString::fromUtf8(error.what());
        }
    };
}

} // namespace glimora::app
