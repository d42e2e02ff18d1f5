#pragma once

#include "backoffice/StatusStatements.h"

#include <functional>
#include <memory>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace glimora::app {

class BackgroundAttempt;
class ScheduledBackups;

// Writes the station's row of the status table at each beat, on a thread of its own through
// a connection of its own made from the login, so that a slow or failing server never holds
// up the visitor's screen nor disturbs the screen's own results. A beat that fails is
// counted and the next one tries again, creating the table first.
class StationHeartbeat : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    // Sends the statements in order; returns what went wrong, empty on success. Runs on the
    // worker.
    using Writer = std::function<QString(const QStringList& statements)>;

    StationHeartbeat(QString station, int intervalSeconds, Clock clock = {}, Writer writer = {},
        QObject* parent = nullptr);
    ~StationHeartbeat() override;

    // The heartbeat of uinfo.ini's `status` section; nothing while it is off.
    static std::unique_ptr<StationHeartbeat> fromSettings(QObject* parent = nullptr);

    // Its last backup and last failure go into each beat.
    void setBackups(const ScheduledBackups* backups) { m_backups = backups; }

    // Starts a write now; one still under way counts as a failed beat. Runs each interval.
    void beat();
    backoffice::StationBeat currentBeat() const;

    int intervalSeconds() const { return m_intervalSeconds; }
    int failedBeats() const { return m_failedBeats; }
    QString lastProblem() const { return m_lastProblem; }
    bool running() const;

signals:
    void beatEnded(const QString& problem);

private:
    struct OwnConnection;
    Writer throughOwnConnection() const;
    void ended(const QString& problem);

    QString m_station;
    int m_intervalSeconds;
    Clock m_clock;
    Writer m_writer;
    QDateTime m_startedAt;
    const ScheduledBackups* m_backups = nullptr;
    std::shared_ptr<OwnConnection> m_own;
    QTimer m_timer;
    std::unique_ptr<BackgroundAttempt> m_attempt;
    bool m_tableChecked = false;
    int m_failedBeats = 0;
    QString m_lastProblem;
};

} // namespace glimora::app
