#include "app/CornerTaps.h"

#include <chrono>

namespace glimora::app {

CornerTaps::CornerTaps(std::function<qint64()> now)
    : m_now(std::move(now))
{
}

qint64 CornerTaps::steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool CornerTaps::tap(const QPoint& point)
{
    if (point.x() < 0 || point.y() < 0 || point.x() >= CornerSize || point.y() >= CornerSize) {
        m_taps.clear();
        return false;
    }
    const qint64 now = m_now();
    m_taps.append(now);
    while (now - m_taps.first() > WithinMilliseconds)
        m_taps.removeFirst();
    if (m_taps.size() < Taps)
        return false;
    m_taps.clear();
    return true;
}

} // namespace glimora::app
