#pragma once

#include <QString>

namespace glimora::engine {

// One lexical unit of a T-SQL batch.
struct Token
{
    enum class Kind {
        Word, // a bare name or keyword
        QuotedName, // [name] or "name"
        String, // 'text', quotes undoubled
        NationalString, // N'text'
        Number, // 12, 1.5, 2e3
        Binary, // 0x1F2E, hex digits only in text
        Variable, // @name or @@name, with the at signs
        Symbol, // operators and punctuation
        End,
    };

    Kind kind = Kind::End;
    QString text;
    int position = 0;

    // Case-insensitive keyword test; quoted names never match.
    bool isWord(const char* word) const
    {
        return kind == Kind::Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(const char* symbol) const { return kind == Kind::Symbol && text == QLatin1String(symbol); }
    bool isName() const { return kind == Kind::Word || kind == Kind::QuotedName; }
};

} // namespace glimora::engine
