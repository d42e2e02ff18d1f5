// Reads Unihan_Readings.txt on standard input and writes the pinyin table as C++: for each
// character its toneless readings, the usual one (kMandarin) first.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A toned syllable as plain letters: "lǜ" gives "lv", "zhòng" gives "zhong".
std::string toneless(const std::string& syllable)
{
    static const std::vector<std::pair<std::string, char>> marks = { { "ā", 'a' }, { "á", 'a' }, { "ǎ", 'a' },
        { "à", 'a' }, { "ē", 'e' }, { "é", 'e' }, { "ě", 'e' }, { "è", 'e' }, { "ê", 'e' }, { "ế", 'e' },
        { "ề", 'e' }, { "ī", 'i' }, { "í", 'i' }, { "ǐ", 'i' }, { "ì", 'i' }, { "ō", 'o' }, { "ó", 'o' },
        { "ǒ", 'o' }, { "ò", 'o' }, { "ū", 'u' }, { "ú", 'u' }, { "ǔ", 'u' }, { "ù", 'u' }, { "ü", 'v' },
        { "ǖ", 'v' }, { "ǘ", 'v' }, { "ǚ", 'v' }, { "ǜ", 'v' }, { "ń", 'n' }, { "ň", 'n' }, { "ǹ", 'n' },
        { "ḿ", 'm' }, { "m̀", 'm' } };
    std::string out;
    for (std::size_t i = 0; i < syllable.size();) {
        const unsigned char c = static_cast<unsigned char>(syllable[i]);
        if (c < 0x80) {
            if (std::isalpha(c))
                out += static_cast<char>(std::tolower(c));
            ++i;
            continue;
        }
        bool found = false;
        for (const auto& [mark, letter] : marks) {
            if (syllable.compare(i, mark.size(), mark) == 0) {
                out += letter;
                i += mark.size();
                found = true;
                break;
            }
        }
        if (!found)
            ++i;
    }
    return out;
}

void add(std::vector<std::string>& readings, const std::string& syllable)
{
    const std::string plain = toneless(syllable);
    if (!plain.empty() && std::find(readings.begin(), readings.end(), plain) == readings.end())
        readings.push_back(plain);
}

} // namespace

int main()
{
    std::map<std::uint32_t, std::vector<std::string>> mandarin, others;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.rfind("U+", 0) != 0)
            continue;
        std::istringstream fields(line);
        std::string code, key, value;
        std::getline(fields, code, '\t');
        std::getline(fields, key, '\t');
        std::getline(fields, value);
        const auto point = static_cast<std::uint32_t>(std::stoul(code.substr(2), nullptr, 16));
        std::istringstream words(value);
        std::string word;
        if (key == "kMandarin") {
            while (words >> word)
                add(mandarin[point], word);
        } else if (key == "kHanyuPinyin" || key == "kXHC1983") {
            while (words >> word) {
                const auto colon = word.find(':');
                std::istringstream list(colon == std::string::npos ? word : word.substr(colon + 1));
                std::string syllable;
                while (std::getline(list, syllable, ','))
                    add(others[point], syllable);
            }
        }
    }
    for (auto& [point, list] : others)
        for (const auto& reading : list)
            add(mandarin[point], reading);

    std::cout << "// Generated from Unihan_Readings.txt; not kept in the sources.\n"
                 "#include <cstdint>\n\nnamespace glimora::data::pinyin_table {\n\n"
                 "extern const std::uint32_t codes[];\nextern const char* const readings[];\n"
                 "extern const int size;\n\nconst std::uint32_t codes[] = {\n";
    for (const auto& entry : mandarin)
        std::cout << "0x" << std::hex << entry.first << std::dec << ",\n";
    std::cout << "};\n\nconst char* const readings[] = {\n";
    for (const auto& entry : mandarin) {
        std::string joined;
        for (const auto& reading : entry.second)
            joined += (joined.empty() ? "" : " ") + reading;
        std::cout << '"' << joined << "\",\n";
    }
    std::cout << "};\n\nconst int size = " << mandarin.size()
              << ";\n\n} // namespace glimora::data::pinyin_table\n";
    return 0;
}
