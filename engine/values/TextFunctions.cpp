#include "engine/values/TextFunctions.h"

#include "engine/values/FunctionValues.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace glimora::engine {

using namespace FunctionValues;

namespace {

QString rightTrimmed(const QString& text)
{
    int end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.left(end);
}

void lenFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    sqlite3_result_int64(context, rightTrimmed(textOf(values[0])).size());
}

// datalength(value [, form]): bytes as stored, or for text in the code page (form 1) or
// in UTF-16 (form 2), as SQL Server keeps varchar and nvarchar.
void datalengthFunction(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    const int form = count > 1 ? sqlite3_value_int(values[1]) : 0;
    if (form == 1)
        return sqlite3_result_int64(context, codePageLength(textOf(values[0])));
    if (form == 2)
        return sqlite3_result_int64(context, 2 * textOf(values[0]).size());
    sqlite3_result_int64(context, sqlite3_value_bytes(values[0]));
}

void leftRight(sqlite3_context* context, sqlite3_value** values, bool left)
{
    if (anyNull(2, values))
        return sqlite3_result_null(context);
    const qint64 count = sqlite3_value_int64(values[1]);
    if (count < 0)
        return fail(context,
            ServerError(536,
                QStringLiteral("Invalid length parameter passed to the %1 function.")
                    .arg(left ? QStringLiteral("left") : QStringLiteral("right")),
                16));
    const QString text = textOf(values[0]);
    resultText(context, left ? text.left(count) : text.right(count));
}

void leftFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    leftRight(context, values, true);
}

void rightFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    leftRight(context, values, false);
}

void substringFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (anyNull(3, values))
        return sqlite3_result_null(context);
    qint64 start = sqlite3_value_int64(values[1]);
    qint64 length = sqlite3_value_int64(values[2]);
    if (length < 0)
        return fail(context,
            ServerError(
                537, QStringLiteral("Invalid length parameter passed to the substring function."), 16));
    if (start < 1) {
        length += start - 1;
        start = 1;
    }
    if (sqlite3_value_type(values[0]) == SQLITE_BLOB) {
        const QByteArray bytes(
            static_cast<const char*>(sqlite3_value_blob(values[0])), sqlite3_value_bytes(values[0]));
        const QByteArray part = length > 0 ? bytes.mid(start - 1, length) : QByteArray();
        return sqlite3_result_blob(context, part.constData(), int(part.size()), SQLITE_TRANSIENT);
    }
    const QString text = textOf(values[0]);
    resultText(context, length > 0 ? text.mid(start - 1, length) : QString());
}

// Text of ASCII without capitals and of U+3000..U+9FFF (kana, CJK symbols and ideographs), none
// of which a case folding maps onto another character, is found case-insensitively where its
// bytes are. Looked at byte by byte (a lead byte tells the length of its character), so that
// the loop runs at the speed of memory.
bool plainText(const unsigned char* text, int size)
{
    int i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: the bytes less 0x80 compare as signed bytes.
    const __m128i bias = _mm_set1_epi8(char(0x80));
    const auto below
        = [&](__m128i bytes, int limit) { return _mm_cmplt_epi8(bytes, _mm_set1_epi8(char(limit - 0x80))); };
    __m128i other = _mm_setzero_si128();
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), bias);
        const __m128i capital = _mm_andnot_si128(below(bytes, 'A'), below(bytes, 'Z' + 1));
        const __m128i lead = _mm_andnot_si128(below(bytes, 0xc0), below(bytes, 0xe3));
        const __m128i high = _mm_andnot_si128(below(bytes, 0xea), _mm_set1_epi8(char(0xff)));
        other = _mm_or_si128(other, _mm_or_si128(capital, _mm_or_si128(lead, high)));
    }
    if (_mm_movemask_epi8(other) != 0)
        return false;
#endif
    bool found = false;
    for (; i < size; ++i) {
        const unsigned char byte = text[i];
        found |= (byte >= 'A' && byte <= 'Z') || (byte >= 0xc0 && byte < 0xe3) || byte >= 0xea;
    }
    return !found;
}

// charindex over such texts: the position in characters, 0 when not found.
qint64 plainCharindex(const QByteArray& needle, const unsigned char* text, int size, qint64 start)
{
    int from = 0;
    qint64 position = 1;
    for (; position < start && from < size; ++position)
        from += text[from] < 0x80 ? 1 : 3;
    if (from >= size)
        return 0;
    const void* found = memmem(text + from, size_t(size - from), needle.constData(), size_t(needle.size()));
    if (!found)
        return 0;
    const auto* end = static_cast<const unsigned char*>(found);
    for (const unsigned char* at = text + from; at < end; ++at)
        if ((*at & 0xc0) != 0x80)
            ++position;
    return position;
}

void charindexFunction(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (anyNull(qMin(count, 2), values))
        return sqlite3_result_null(context);
    if (sqlite3_value_type(values[0]) == SQLITE_TEXT && sqlite3_value_type(values[1]) == SQLITE_TEXT) {
        QByteArray needle(
            reinterpret_cast<const char*>(sqlite3_value_text(values[0])), sqlite3_value_bytes(values[0]));
        for (char& byte : needle)
            if (byte >= 'A' && byte <= 'Z')
                byte = char(byte + ('a' - 'A'));
        const auto* text = sqlite3_value_text(values[1]);
        const int size = sqlite3_value_bytes(values[1]);
        if (!needle.isEmpty()
            && plainText(reinterpret_cast<const unsigned char*>(needle.constData()), int(needle.size()))
            && plainText(text, size)) {
            const qint64 start = count > 2 && !isNull(values[2]) ? sqlite3_value_int64(values[2]) : 1;
            return sqlite3_result_int64(context, plainCharindex(needle, text, size, start));
        }
    }
    const QString needle = textOf(values[0]);
    const QString haystack = textOf(values[1]);
    qint64 start = count > 2 && !isNull(values[2]) ? sqlite3_value_int64(values[2]) : 1;
    if (start < 1)
        start = 1;
    if (needle.isEmpty())
        return sqlite3_result_int64(context, 0);
    sqlite3_result_int64(context, haystack.indexOf(needle, start - 1, Qt::CaseInsensitive) + 1);
}

void replaceFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (anyNull(3, values))
        return sqlite3_result_null(context);
    const QString find = textOf(values[1]);
    QString text = textOf(values[0]);
    if (!find.isEmpty())
        text.replace(find, textOf(values[2]), Qt::CaseInsensitive);
    resultText(context, text);
}

void upperFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    resultText(context, textOf(values[0]).toUpper());
}

void lowerFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    resultText(context, textOf(values[0]).toLower());
}

void ltrimFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    const QString text = textOf(values[0]);
    int start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    resultText(context, text.mid(start));
}

void rtrimFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    if (isNull(values[0]))
        return sqlite3_result_null(context);
    resultText(context, rightTrimmed(textOf(values[0])));
}

// T-SQL LIKE: % and _, [abc], [a-z], [^abc], an escape character, case-insensitive.
bool likeMatch(const QString& pattern, int p, const QString& text, int t, QChar escape)
{
    while (p < pattern.size()) {
        const QChar c = pattern[p];
        if (!escape.isNull() && c == escape && p + 1 < pattern.size()) {
            if (t >= text.size() || text[t].toCaseFolded() != pattern[p + 1].toCaseFolded())
                return false;
            p += 2;
            ++t;
            continue;
        }
        if (c == QLatin1Char('%')) {
            while (p < pattern.size() && pattern[p] == QLatin1Char('%'))
                ++p;
            if (p == pattern.size())
                return true;
            for (int i = t; i <= text.size(); ++i) {
                if (likeMatch(pattern, p, text, i, escape))
                    return true;
            }
            return false;
        }
        if (t >= text.size())
            return false;
        if (c == QLatin1Char('_')) {
            ++p;
            ++t;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const int close = pattern.indexOf(QLatin1Char(']'), p + 2);
            if (close > p) {
                QString set = pattern.mid(p + 1, close - p - 1);
                bool negate = set.startsWith(QLatin1Char('^'));
                if (negate)
                    set.remove(0, 1);
                const QChar folded = text[t].toCaseFolded();
                bool found = false;
                for (int i = 0; i < set.size(); ++i) {
                    if (i + 2 < set.size() && set[i + 1] == QLatin1Char('-')) {
                        if (folded >= set[i].toCaseFolded() && folded <= set[i + 2].toCaseFolded())
                            found = true;
                        i += 2;
                    } else if (set[i].toCaseFolded() == folded) {
                        found = true;
                    }
                }
                if (found == negate)
                    return false;
                p = close + 1;
                ++t;
                continue;
            }
        }
        if (c.toCaseFolded() != text[t].toCaseFolded())
            return false;
        ++p;
        ++t;
    }
    return t == text.size();
}

// like(pattern, value [, escape]) implements "value LIKE pattern".
void likeFunction(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (anyNull(2, values))
        return sqlite3_result_null(context);
    QChar escape;
    if (count > 2 && !isNull(values[2])) {
        const QString text = textOf(values[2]);
        if (text.size() == 1)
            escape = text[0];
    }
    sqlite3_result_int(context, likeMatch(textOf(values[0]), 0, textOf(values[1]), 0, escape) ? 1 : 0);
}

} // namespace

void TextFunctions::install(sqlite3* db)
{
    define(db, "tsql_len", 1, lenFunction);
    define(db, "tsql_datalength", 1, datalengthFunction);
    define(db, "tsql_datalength", 2, datalengthFunction);
    define(db, "tsql_left", 2, leftFunction);
    define(db, "tsql_right", 2, rightFunction);
    define(db, "tsql_substring", 3, substringFunction);
    define(db, "tsql_charindex", 2, charindexFunction);
    define(db, "tsql_charindex", 3, charindexFunction);
    define(db, "tsql_replace", 3, replaceFunction);
    define(db, "tsql_upper", 1, upperFunction);
    define(db, "tsql_lower", 1, lowerFunction);
    define(db, "tsql_ltrim", 1, ltrimFunction);
    define(db, "tsql_rtrim", 1, rtrimFunction);
    define(db, "like", 2, likeFunction);
    define(db, "like", 3, likeFunction);
}

} // namespace glimora::engine
