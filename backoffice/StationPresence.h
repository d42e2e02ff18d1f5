#pragma once

#include <QDateTime>
#include <QString>

namespace glimora::backoffice {

// A station is online while its beats come; once three in a row are missed it is offline,
// since its last beat, the last moment it was known to serve.
class StationPresence
{
public:
    static constexpr int MissedBeats = 3;

    static bool online(const QDateTime& lastBeat, int beatSeconds, const QDateTime& now);
    // "在线", or "离线" with the time of the last beat.
    static QString text(const QDateTime& lastBeat, int beatSeconds, const QDateTime& now);
};

} // namespace glimora::backoffice
