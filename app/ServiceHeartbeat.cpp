#include "app/ServiceHeartbeat.h"

#include "platform/ServiceNotifier.h"

#include <QCoreApplication>
#include <QEvent>

namespace glimora::app {

ServiceHeartbeat::ServiceHeartbeat(QObject* parent)
    : QObject(parent)
{
    using namespace std::chrono;
    const milliseconds timeout = duration_cast<milliseconds>(platform::ServiceNotifier::watchdogTimeout());
    if (timeout.count() > 0) {
        m_ping.setInterval(std::max<int>(1, static_cast<int>(timeout.count() / 3)));
        connect(&m_ping, &QTimer::timeout, this, [] { platform::ServiceNotifier::notify("WATCHDOG=1"); });
        m_ping.start();
    }
    QCoreApplication::instance()->installEventFilter(this);
}

ServiceHeartbeat::~ServiceHeartbeat()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool ServiceHeartbeat::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_painted && event->type() == QEvent::Paint && watched->isWidgetType()) {
        m_painted = true;
        // Queued, so that the paint this event asks for is done when the manager hears of it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                QCoreApplication::instance()->removeEventFilter(this);
                platform::ServiceNotifier::notify("READY=1");
            },
            Qt::QueuedConnection);
    }
    return false;
}

} // namespace glimora::app
