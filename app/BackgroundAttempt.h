#pragma once

#include <functional>
#include <QObject>
#include <QString>

class QThread;

namespace glimora::app {

// One attempt at a time of something that may wait on the network (a login, a reconnect),
// run on a thread of its own so that the screen and the service manager's pings go on
// meanwhile. The result comes back on the owner's thread.
class BackgroundAttempt : public QObject
{
    Q_OBJECT
public:
    // `attempt` returns what went wrong, empty on success.
    explicit BackgroundAttempt(std::function<QString()> attempt, QObject* parent = nullptr);
    // Waits for an attempt under way: it may use what the owner is about to release.
    ~BackgroundAttempt() override;

    // Starts an attempt unless one is under way.
    void start();
    bool running() const { return m_thread != nullptr; }

signals:
    void finished(const QString& problem);

private:
    std::function<QString()> m_attempt;
    QThread* m_thread = nullptr;
};

} // namespace glimora::app
