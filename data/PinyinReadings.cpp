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
    // Split once for the process: an index's build asks for every character of every value.
    static const QList<QStringList> split = [] {
        QList<QStringList> all;
        all.reserve(pinyin_table::size);
        for (int n = 0; n < pinyin_table::size; ++n)
            all.append(QString::fromLatin1(pinyin_table::readings[n]).split(QLatin1Char(' ')));
        return all;
    }();
    const std::uint32_t* begin = pinyin_table::codes;
    const std::uint32_t* end = begin + pinyin_table::size;
    const std::uint32_t* found = std::lower_bound(begin, end, std::uint32_t(character));
    if (found == end || *found != character)
        return {};
    return split[found - begin];
}

} // namespace glimora::data
