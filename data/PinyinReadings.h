#pragma once

#include <QStringList>

namespace glimora::data {

// The Mandarin readings of a Han character without tones, the usual one first ("重" gives
// zhong, chong, tong); none for any other character.
class PinyinReadings
{
public:
    static QStringList of(char32_t character);
};

} // namespace glimora::data
