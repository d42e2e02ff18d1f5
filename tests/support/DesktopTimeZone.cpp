#include "tests/support/DesktopTimeZone.h"

#include <cstdlib>
#include <ctime>

DesktopTimeZone::DesktopTimeZone(const char* zone)
    : m_hadZone(std::getenv("TZ") != nullptr)
{
    if (m_hadZone)
        m_previous = std::getenv("TZ");
    ::setenv("TZ", zone, 1);
    ::tzset();
}

DesktopTimeZone::~DesktopTimeZone()
{
    if (m_hadZone)
        ::setenv("TZ", m_previous.constData(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
