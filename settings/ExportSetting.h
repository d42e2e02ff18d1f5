#pragma once

namespace glimora::settings {

// Whether data management offers to export its records. Section `export`, key `enabled`
// (0 or missing: no export button, the screen is as it always was).
class ExportSetting
{
public:
    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
};

} // namespace glimora::settings
