#pragma once

namespace glimora::ui {

// The setting `touch` of section `show`: on, the query screen's lists are fitted for a finger
// and for reading, each pop-up as wide as its longest entry needs. Off in a bare uinfo.ini,
// where the lists keep their template's look.
class TouchSetting
{
public:
    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
};

} // namespace glimora::ui
