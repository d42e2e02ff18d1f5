#pragma once

namespace glimora::ui {

// The setting `largetext` of section `show`: 1 shows the query screen's 大字 button, 2 shows
// it and starts the screen large; missing, 0 or anything else, neither, and the screen looks
// as it always did.
class LargeTextSetting
{
public:
    enum Mode { Off = 0, Button = 1, StartLarge = 2 };

    static Mode mode();
    static bool setMode(Mode mode); // false when uinfo.ini cannot be written
};

} // namespace glimora::ui
