#pragma once

#include "app/CornerTaps.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QKeyEvent;

namespace glimora::app {

// Keeps a visitor on a kiosk's query screen while it lives: the keys and requests that
// would close or leave a window (Alt+F4, Escape, Ctrl+Alt+Backspace, the compositor's close
// request, a long press's context menu) reach no window of the program, the screen's boxes
// and lists included. Five taps in the screen's top-left corner call the administrator.
class KioskLock : public QObject
{
    Q_OBJECT
public:
    KioskLock(QWidget& screen, std::function<void()> administratorCalled,
        std::function<qint64()> now = CornerTaps::steadyMilliseconds);
    ~KioskLock() override;

    static bool leavesTheScreen(const QKeyEvent& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pressed(QObject* receiver, const QPointF& globalPosition, quint64 timestamp);

    QPointer<QWidget> m_screen;
    std::function<void()> m_administratorCalled;
    CornerTaps m_taps;
    // A press travels up to the parents of the widget it was meant for: it counts once.
    quint64 m_lastPress = 0;
};

} // namespace glimora::app
