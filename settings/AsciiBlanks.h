#pragma once

#include <QString>

namespace glimora::settings {

// The blanks of the C library's isspace in the C locale, the only ones the system trims from
// what a person types or a settings line holds: space, tab, line feed, vertical tab,
// form feed and carriage return. Wider Unicode spaces (U+3000, U+00A0) are part of a value.
inline bool isAsciiBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

inline QString withoutTrailingAsciiBlanks(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && isAsciiBlank(text[end - 1]))
        --end;
    return text.left(end);
}

inline QString withoutAsciiBlanks(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && isAsciiBlank(text[start]))
        ++start;
    return withoutTrailingAsciiBlanks(text.mid(start));
}

} // namespace glimora::settings
