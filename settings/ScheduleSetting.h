#pragma once

namespace glimora::settings {

// Whether the station takes backups on a schedule (key `backup` of section `schedule`; the
// schedule itself is read by the back office; "0" is none). Switched on it is every day at
// 02:00.
class ScheduleSetting
{
public:
    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
};

} // namespace glimora::settings
