#pragma once

#include <QString>

namespace glimora::settings {

// Whether the back office saves a snapshot before every import and restore, and where.
// Section `backup`: `snapshots` is how many are kept (0 or missing: none are taken, and the
// back office is as it always was); `snapshotdir` the folder, by default `snapshots` in the
// station's folder.
class SnapshotSetting
{
public:
    static constexpr int DefaultKept = 10;

    static int kept();
    static bool enabled() { return kept() > 0; }
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
    static QString folder();
};

} // namespace glimora::settings
