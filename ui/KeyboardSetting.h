#pragma once

namespace glimora::ui {

// The setting `keyboard` of section `show`: on, every screen can be worked from a keyboard.
// Tab walks its tabs, lists and buttons in reading order, the control with focus carries a
// visible mark, and Space or Enter presses a tab. Off in a bare uinfo.ini, where a tab takes
// no focus and no mark is drawn.
class KeyboardSetting
{
public:
    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
};

} // namespace glimora::ui
