#include "data/PinyinReadings.h"

#include <algorithm>
#include <cstdint>

namespace glimora::data {

namespace pinyin_table {
extern const std::uint32_t codes[];
extern const char* const readings[];
extern const int size;
} // namespace pinyin_table

QStringList PinyinReadings::of(char32_t character)
{
    const std::uint32_t* begin = pinyin_table::codes;
    const std::uint32_t* end = begin + pinyin_table::size;
    const std::uint32_t* found = std::lower_bound(begin, end, std::uint32_t(character));
    if (found == end || *found != character)
        return {};
    return QString::fromLatin1(pinyin_table::readings[found - begin]).split(QLatin1Char(' '));
}

} // namespace glimora::data
