#pragma once

#include <QString>

namespace glimora::app {

// Logs in with the kiosk's credentials as the login dialog would, but writes nothing to
// uinfo.ini. Returns what went wrong, in words for the screen; empty once logged in.
QString kioskLogIn();

} // namespace glimora::app
