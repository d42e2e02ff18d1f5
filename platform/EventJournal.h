#pragma once

#include <QString>

namespace glimora::platform {

// One entry of the systemd journal; false when there is no journal to write to.
bool sendToJournal(
    const QString& message, const QString& event, const QString& station, int errorNumber, bool isError);
// Whether systemd started this process (so its journal is the place to log).
bool startedBySystemd();

} // namespace glimora::platform
