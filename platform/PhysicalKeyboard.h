#pragma once

#include <QByteArray>

namespace glimora::platform {

// Whether a keyboard with letter keys is attached, as the kernel lists its input devices: a
// touch screen, a power button or a remote control is none.
class PhysicalKeyboard
{
public:
    // From /proc/bus/input/devices, or the file that GLIMORA_INPUT_DEVICES names; true where
    // the list cannot be read, so that nothing changes on a system that has none.
    static bool attached();
    // The same question of the text of such a list.
    static bool listedIn(const QByteArray& devices);
};

} // namespace glimora::platform
