#pragma once

namespace glimora::settings {

// Whether the query screen offers its read-aloud button. Section `show`, key `speech`
// (0 or missing: no button, the screen is as it always was).
class ReadAloudSetting
{
public:
    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
};

} // namespace glimora::settings
