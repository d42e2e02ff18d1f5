#pragma once

#include <QObject>
#include <QTimer>

namespace glimora::app {

// Tells the service manager that the station is up once its first screen has painted, and
// keeps telling it from the screens' own thread, so that a hung screen stops the pings and
// the manager restarts the station. Does nothing outside a unit of Type=notify.
class ServiceHeartbeat : public QObject
{
    Q_OBJECT
public:
    explicit ServiceHeartbeat(QObject* parent = nullptr);
    ~ServiceHeartbeat() override;

    // Milliseconds between pings, a third of the watchdog time-out; 0 when none is expected.
    int pingInterval() const { return m_ping.interval(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTimer m_ping;
    bool m_painted = false;
};

} // namespace glimora::app
