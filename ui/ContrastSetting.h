#pragma once

namespace glimora::ui {

// The setting `contrast` of section `show`: on, every skin comes from the high-contrast set
// (dark captions on light skins) and skinned captions are drawn black. Off, the screens look
// as they always did.
class ContrastSetting
{
public:
    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
};

} // namespace glimora::ui
