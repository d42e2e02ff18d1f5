#include "platform/PhysicalKeyboard.h"

#include <QFile>
#include <QList>

namespace glimora::platform {

namespace {

// Key codes of the kernel's input layer.
constexpr int KeyEnter = 28;
constexpr int KeyA = 30;
constexpr int KeyZ = 44;
constexpr int KeySpace = 57;
constexpr int EventKey = 1;

// A bitmap as the kernel prints it: words of a long each, in hexadecimal, the highest first.
bool hasBit(const QByteArray& bitmap, int bit)
{
    const QList<QByteArray> words = bitmap.trimmed().split(' ');
    constexpr int wordBits = int(sizeof(unsigned long) * 8);
    const qsizetype fromEnd = bit / wordBits;
    if (fromEnd >= words.size())
        return false;
    bool ok = false;
    const unsigned long long word = words[words.size() - 1 - fromEnd].toULongLong(&ok, 16);
    return ok && ((word >> (bit % wordBits)) & 1U) != 0;
}

} // namespace

bool PhysicalKeyboard::listedIn(const QByteArray& devices)
{
    // Devices are blocks of lines with an empty line between them.
    QByteArray events, keys;
    const auto isKeyboard = [&] {
        return hasBit(events, EventKey) && hasBit(keys, KeyA) && hasBit(keys, KeyZ) && hasBit(keys, KeySpace)
            && hasBit(keys, KeyEnter);
    };
    for (const QByteArray& line : devices.split('\n')) {
        if (line.trimmed().isEmpty()) {
            if (isKeyboard())
                return true;
            events.clear();
            keys.clear();
        } else if (line.startsWith("B: EV=")) {
            events = line.mid(6);
        } else if (line.startsWith("B: KEY=")) {
            keys = line.mid(7);
        }
    }
    return isKeyboard();
}

bool PhysicalKeyboard::attached()
{
    const QByteArray named = qgetenv("GLIMORA_INPUT_DEVICES");
    QFile list(named.isEmpty() ? QStringLiteral("/proc/bus/input/devices") : QString::fromLocal8Bit(named));
    if (!list.open(QIODevice::ReadOnly))
        return true;
    return listedIn(list.readAll());
}

} // namespace glimora::platform
