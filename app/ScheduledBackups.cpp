#include "app/ScheduledBackups.h"

#include "app/BackgroundAttempt.h"
#include "backoffice/BackupRetention.h"
#include "backoffice/JobStatements.h"
#include "data/Command.h"
#include "data/Connection.h"
#include "data/ConnectionSetup.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "platform/EventLog.h"

#include <QDir>

namespace glimora::app {

using backoffice::BackupRetention;
using platform::EventLog;

ScheduledBackups::ScheduledBackups(
    backoffice::BackupSchedule schedule, QString database, Clock clock, Taker taker, QObject* parent)
    : QObject(parent)
    , m_schedule(std::move(schedule))
    , m_database(std::move(database))
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
    , m_taker(std::move(taker))
{
    m_lastSuccess = BackupRetention::lastTaken(m_schedule, m_database);
    connect(&m_timer, &QTimer::timeout, this, &ScheduledBackups::check);
    m_timer.start(CheckMilliseconds);
}

ScheduledBackups::~ScheduledBackups() = default;

std::unique_ptr<ScheduledBackups> ScheduledBackups::fromSettings(QObject* parent)
{
    std::optional<backoffice::BackupSchedule> schedule = backoffice::BackupSchedule::fromSettings();
    if (!schedule)
        return nullptr;
    return std::make_unique<ScheduledBackups>(
        *schedule, data::SharedDatabase::login().databaseName, Clock(), Taker(), parent);
}

bool ScheduledBackups::running() const
{
    return m_attempt && m_attempt->running();
}

void ScheduledBackups::check()
{
    if (running())
        return;
    const QDateTime now = m_clock();
    if (m_retryAt ? now < *m_retryAt : !m_schedule.isDue(now, m_lastSuccess))
        return;
    QDir().mkpath(m_schedule.folder);
    m_path = QDir(m_schedule.folder).filePath(BackupRetention::fileName(m_database, now));
    EventLog::write(EventLog::Event::JobStart, QStringLiteral("scheduled backup to ") + m_path);
    const QString database = m_database;
    const QString path = m_path;
    const Taker taker = m_taker ? m_taker : throughOwnConnection();
    m_attempt
        = std::make_unique<BackgroundAttempt>([taker, database, path] { return taker(database, path); });
    connect(m_attempt.get(), &BackgroundAttempt::finished, this, &ScheduledBackups::ended);
    m_attempt->start();
}

void ScheduledBackups::ended(const QString& problem)
{
    const QDateTime now = m_clock();
    m_lastProblem = problem;
    if (problem.isEmpty()) {
        m_lastSuccess = now;
        m_retryAt.reset();
        const int removed = BackupRetention::prune(m_schedule, m_database);
        EventLog::write(EventLog::Event::JobEnd,
            QStringLiteral("scheduled backup done: %1 (%2 old removed)").arg(m_path).arg(removed));
    } else {
        // Nothing is removed: the backups kept so far are all there is.
        m_retryAt = now.addSecs(RetryMinutes * 60);
        EventLog::write(EventLog::Event::JobEnd,
            QStringLiteral("scheduled backup failed, tried again at %1: %2")
                .arg(m_retryAt->toString(Qt::ISODate), problem));
    }
    emit backupEnded(m_path, problem);
}

ScheduledBackups::Taker ScheduledBackups::throughOwnConnection()
{
    const data::LoginValues login = data::SharedDatabase::login();
    const data::ConnectionSetup setup = data::ConnectionSetup::fromSettings();
    return [login, setup](const QString& database, const QString& path) {
        return takeBackup(setup.connectionString(login.userName, login.password, login.serverName, database),
            database, path);
    };
}

QString ScheduledBackups::takeBackup(
    const QString& connectionString, const QString& database, const QString& path)
{
    try {
        data::Connection connection = data::Connection::create();
        connection.Open(connectionString);
        data::Command command = data::Command::create();
        command.SetActiveConnection(connection);
        for (const QString& statement :
            { backoffice::JobStatements::backup(database, path), backoffice::JobStatements::verify(path) }) {
            command.SetCommandText(statement);
            command.Execute();
        }
        connection.Close();
    } catch (const data::DbError& error) {
        return error.description();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

} // namespace glimora::app
