#pragma once

namespace glimora::ui {

// The setting `osk` of section `show`: where a tap on a text entry brings up the on-screen
// keyboard. 1 on the query screen's lists, and on every screen's entries (the login and the back
// office too) while no keyboard is attached; 2 on every screen's entries always; missing, 0 or
// anything else, nowhere, and the screens work as they always did.
class OnScreenKeyboardSetting
{
public:
    enum Scope { Off = 0, QueryScreen = 1, Everywhere = 2 };

    static Scope scope();
    static bool setScope(Scope scope); // false when uinfo.ini cannot be written
    // Whether a screen that needs `needed` gets the keyboard.
    static bool covers(Scope needed);
};

} // namespace glimora::ui
