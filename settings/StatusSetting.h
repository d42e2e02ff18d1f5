#pragma once

#include <QString>

namespace glimora::settings {

// Whether the station writes a heartbeat row for the back office's status page. Section
// `status`: `heartbeat` 1 turns it on (missing or 0: no table, no statement, no button);
// `station` the name it writes under (empty: the computer's name); `interval` the seconds
// between beats (default 60).
class StatusSetting
{
public:
    static constexpr int DefaultIntervalSeconds = 60;
    static constexpr int MaxIntervalSeconds = 3600;

    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
    static QString station(); // as written, trimmed; empty when not set
    static int intervalSeconds();
};

} // namespace glimora::settings
