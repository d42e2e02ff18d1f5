#pragma once

#include <QByteArray>

// Sets the process's time zone (TZ, then tzset) for the lifetime of the object, and puts back
// the one it had afterwards.
class DesktopTimeZone
{
public:
    explicit DesktopTimeZone(const char* zone);
    ~DesktopTimeZone();
    DesktopTimeZone(const DesktopTimeZone&) = delete;
    DesktopTimeZone& operator=(const DesktopTimeZone&) = delete;

private:
    QByteArray m_previous;
    bool m_hadZone = false;
};
