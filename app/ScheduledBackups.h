#pragma once

#include "backoffice/BackupSchedule.h"

#include <functional>
#include <memory>
#include <optional>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

namespace glimora::app {

class BackgroundAttempt;

// Keeps the backup schedule of the station's settings: a backup due is taken on a thread of
// its own through a connection of its own, so that visitors are served meanwhile; one that
// fails is logged and tried again every few minutes until it succeeds; after each success
// the backups that retention does not keep are removed, never before.
class ScheduledBackups : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    // Writes the backup to `path`; returns what went wrong, empty on success.
    using Taker = std::function<QString(const QString& database, const QString& path)>;

    ScheduledBackups(backoffice::BackupSchedule schedule, QString database, Clock clock = {},
        Taker taker = {}, QObject* parent = nullptr);
    ~ScheduledBackups() override;

    // The schedule of uinfo.ini for the logged-in database; nothing without one.
    static std::unique_ptr<ScheduledBackups> fromSettings(QObject* parent = nullptr);

    // Takes a backup now if one is due and none is under way. Runs each minute by itself.
    void check();

    static constexpr int CheckMilliseconds = 60 * 1000;
    static constexpr int RetryMinutes = 5;

    std::optional<QDateTime> lastSuccess() const { return m_lastSuccess; }
    QString lastProblem() const { return m_lastProblem; }
    bool running() const;

signals:
    void backupEnded(const QString& path, const QString& problem);

private:
    // The backup through a connection of its own, made from the login values as they are now:
    // read here, on the owner's thread, not by the worker while a login may change them.
    static Taker throughOwnConnection();
    static QString takeBackup(const QString& connectionString, const QString& database, const QString& path);
    void ended(const QString& problem);

    backoffice::BackupSchedule m_schedule;
    QString m_database;
    Clock m_clock;
    Taker m_taker;
    QTimer m_timer;
    std::unique_ptr<BackgroundAttempt> m_attempt;
    QString m_path; // of the backup under way
    std::optional<QDateTime> m_lastSuccess;
    std::optional<QDateTime> m_retryAt;
    QString m_lastProblem;
};

} // namespace glimora::app
