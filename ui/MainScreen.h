#pragma once

class QWidget;

namespace glimora::ui {

// The running main screen (the back office or the query screen), process-wide. Start-up
// records it; a finished restore asks it to close so that the user logs in anew.
class MainScreen
{
public:
    static QWidget* get();
    static void set(QWidget* screen);
    // Posts a close request; it is handled once the running modal dialogs have returned.
    // Does nothing when no main screen is running.
    static void postCloseRequest();
};

} // namespace glimora::ui
