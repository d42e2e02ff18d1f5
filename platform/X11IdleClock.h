#pragma once

#include "platform/IdleClock.h"

#include <memory>

namespace glimora::platform {

// Idle time of the whole X display, from the screen-saver extension. libX11 and libXss
// are loaded at run time, so the program also starts where they are missing.
class X11IdleClock : public IdleClock
{
public:
    // nullptr unless Qt runs on X11 and the display answers the screen-saver extension.
    static std::unique_ptr<X11IdleClock> open();
    ~X11IdleClock() override;
    X11IdleClock(const X11IdleClock&) = delete;
    X11IdleClock& operator=(const X11IdleClock&) = delete;

    quint32 tickCount() const override;
    quint32 lastInputTick() const override;

private:
    struct Library;
    explicit X11IdleClock(std::unique_ptr<Library> library);

    std::unique_ptr<Library> m_library;
};

} // namespace glimora::platform
