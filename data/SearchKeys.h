#pragma once

#include <QString>
#include <QStringList>

namespace glimora::data {

// What a text is found by: its text in simplified characters and lower case, and the pinyin
// initials and the full pinyin of every reading of it, polyphonic characters included.
struct SearchKeys
{
    // At most this many readings of one text, the usual readings first.
    static constexpr int maxVariants = 32;

    QString text;
    QStringList initials;
    QStringList fullPinyin;

    static SearchKeys of(const QString& text);
    // The keys of many texts, converted together (much faster than one by one).
    static QList<SearchKeys> of(const QStringList& texts);
    // A query as it is compared with the keys: simplified, lower case, without blanks.
    static QString normalisedQuery(const QString& query);
    // Traditional characters as simplified ones.
    static QString simplified(const QString& text);
};

} // namespace glimora::data
