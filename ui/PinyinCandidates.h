#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace glimora::ui {

// The Chinese words that a pinyin spelling may stand for, most likely first, from the Google
// pinyin decoder and its system dictionary. A full spelling ("yinhang") and initials ("yh")
// both work. The decoder is one per process, so there is one of these: opened at first use,
// closed at exit. What the decoder learns goes to a user dictionary in a temporary folder of
// its own, dropped at exit, so that one visitor's choices never reorder the next one's.
class PinyinCandidates
{
public:
    static PinyinCandidates& shared();

    PinyinCandidates(const PinyinCandidates&) = delete;
    PinyinCandidates& operator=(const PinyinCandidates&) = delete;

    // False when the dictionary could not be opened: then there are never candidates.
    bool isOpen() const { return m_open; }

    // The number of candidates for a spelling of the letters a-z (and ' between syllables).
    int count(const QString& spelling);
    // Up to `number` candidates from the `first`.
    QStringList candidates(const QString& spelling, int first, int number);
    // How many letters at the start of the spelling a candidate stands for: all of them, or
    // fewer for a word that covers only the first syllables.
    int lettersCovered(const QString& spelling, int index);

private:
    PinyinCandidates();
    ~PinyinCandidates();
    void searchFor(const QString& spelling);

    QTemporaryDir m_userFolder;
    bool m_open = false;
    QByteArray m_spelling;
    int m_count = 0;
};

} // namespace glimora::ui
