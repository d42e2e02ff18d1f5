#pragma once

#include <QString>

namespace glimora::settings {

// The start-up values of uinfo.ini, loaded once before the login opens.
struct Settings
{
    QString directory; // working directory at start-up; uinfo.ini lives here
    QString database; // system/database, "nivo" by default

    static Settings& instance();
    // Captures the working directory and reads the section "system".
    void load();
};

} // namespace glimora::settings
