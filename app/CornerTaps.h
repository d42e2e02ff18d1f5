#pragma once

#include <QList>
#include <QPoint>

#include <functional>

namespace glimora::app {

// The administrator's way out of a kiosk: five taps in the top-left corner within three
// seconds. A tap elsewhere starts the count again; so does a tap that comes too late.
class CornerTaps
{
public:
    static constexpr int Taps = 5;
    static constexpr qint64 WithinMilliseconds = 3000;
    static constexpr int CornerSize = 80;

    // `now` gives milliseconds on a clock that never goes back.
    explicit CornerTaps(std::function<qint64()> now = steadyMilliseconds);

    // A tap at a point of the screen; true for the tap that completes the gesture.
    bool tap(const QPoint& point);

    static qint64 steadyMilliseconds();

private:
    std::function<qint64()> m_now;
    QList<qint64> m_taps;
};

} // namespace glimora::app
