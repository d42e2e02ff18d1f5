#pragma once

namespace glimora::ui {

// Small corrections to how the screens look, with the setting `polish` of section `show` on:
// captions kept clear of their button's rounded border (smaller where they would not fit),
// disabled skinned buttons drawn grey, and the result page's summary line lifted off the rule
// under it. Off, the screens look as they always did.
class ScreenPolish
{
public:
    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
};

} // namespace glimora::ui
