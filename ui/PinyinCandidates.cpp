#include "ui/PinyinCandidates.h"

#include <pinyinime.h>

#include <QFile>

#include <algorithm>

namespace glimora::ui {

namespace {

QByteArray lettersOnly(const QString& spelling)
{
    QByteArray letters;
    for (const QChar c : spelling) {
        const char l = c.toLower().toLatin1();
        if ((l >= 'a' && l <= 'z') || l == '\'')
            letters.append(l);
    }
    return letters;
}

} // namespace

PinyinCandidates& PinyinCandidates::shared()
{
    static PinyinCandidates candidates;
    return candidates;
}

PinyinCandidates::PinyinCandidates()
{
    if (!m_userFolder.isValid())
        return;
    const QByteArray userDictionary = QFile::encodeName(m_userFolder.filePath(QStringLiteral("user.dat")));
    m_open = ime_pinyin::im_open_decoder(GLIMORA_PINYIN_DICTIONARY, userDictionary.constData());
}

PinyinCandidates::~PinyinCandidates()
{
    if (m_open)
        ime_pinyin::im_close_decoder();
}

void PinyinCandidates::searchFor(const QString& spelling)
{
    const QByteArray letters = lettersOnly(spelling);
    if (!m_open || letters == m_spelling)
        return;
    m_spelling = letters;
    ime_pinyin::im_reset_search();
    m_count = letters.isEmpty() ? 0 : int(ime_pinyin::im_search(letters.constData(), size_t(letters.size())));
}

int PinyinCandidates::count(const QString& spelling)
{
    searchFor(spelling);
    return m_open && !m_spelling.isEmpty() ? m_count : 0;
}

QStringList PinyinCandidates::candidates(const QString& spelling, int first, int number)
{
    QStringList words;
    const int last = std::min(count(spelling), first + number);
    for (int index = std::max(first, 0); index < last; ++index) {
        ime_pinyin::char16 buffer[ime_pinyin::kMaxLemmaSize + 1] = {};
        if (ime_pinyin::im_get_candidate(size_t(index), buffer, ime_pinyin::kMaxLemmaSize))
            words << QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer));
    }
    return words;
}

int PinyinCandidates::lettersCovered(const QString& spelling, int index)
{
    const QStringList word = candidates(spelling, index, 1);
    if (word.isEmpty())
        return 0;
    const ime_pinyin::uint16* starts = nullptr;
    const int syllables = int(ime_pinyin::im_get_spl_start_pos(starts));
    const int covered = std::min<int>(int(word[0].size()), syllables);
    // A word over every syllable takes the letters the decoder could not place too.
    if (covered >= syllables || !starts)
        return int(m_spelling.size());
    return std::min<int>(starts[covered], int(m_spelling.size()));
}

} // namespace glimora::ui
