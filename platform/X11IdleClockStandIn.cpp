#include "platform/X11IdleClock.h"

namespace glimora::platform {

// Built without the screen-saver extension's headers: the input filter takes over.
struct X11IdleClock::Library
{
};

std::unique_ptr<X11IdleClock> X11IdleClock::open()
{
    return nullptr;
}

X11IdleClock::X11IdleClock(std::unique_ptr<Library> library)
    : m_library(std::move(library))
{
}

X11IdleClock::~X11IdleClock() = default;

quint32 X11IdleClock::tickCount() const
{
    return monotonicTick();
}

quint32 X11IdleClock::lastInputTick() const
{
    return monotonicTick();
}

} // namespace glimora::platform
