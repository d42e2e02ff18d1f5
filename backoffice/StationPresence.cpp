#include "backoffice/StationPresence.h"

#include <algorithm>

namespace glimora::backoffice {

bool StationPresence::online(const QDateTime& lastBeat, int beatSeconds, const QDateTime& now)
{
    if (!lastBeat.isValid() || !now.isValid())
        return false;
    return lastBeat.msecsTo(now) <= qint64(MissedBeats) * std::max(beatSeconds, 1) * 1000;
}

QString StationPresence::text(const QDateTime& lastBeat, int beatSeconds, const QDateTime& now)
{
    if (online(lastBeat, beatSeconds, now))
        return QString::fromUtf8("在线");
    if (!lastBeat.isValid())
        return QString::fromUtf8("离线");
    return QString::fromUtf8("离线，自 ") + lastBeat.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace glimora::backoffice
