#include "engine/tsql/Lexer.h"

#include "engine/server/ServerError.h"

namespace glimora::engine {

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('#');
}

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('#') || c == QLatin1Char('$')
        || c == QLatin1Char('@');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads a 'string', [name] or "name" from `start` up to its closing character, a doubled one
// standing for itself; `end` is left one past the closing character.
QString readDelimited(const QString& batch, int start, QChar close, int& end)
{
    QString text;
    int j = start;
    while (j < batch.size()) {
        const qsizetype found = batch.indexOf(close, j);
        if (found < 0)
            break;
        text += QStringView(batch).mid(j, found - j);
        if (found + 1 < batch.size() && batch[found + 1] == close) {
            text += close;
            j = int(found) + 2;
            continue;
        }
        end = int(found) + 1;
        return text;
    }
    text += QStringView(batch).mid(j);
    throw ServerError(
        105, QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(text), 15);
}

// The text of a symbol of one character, shared rather than made anew for each token.
QString symbolText(QChar c)
{
    static const QList<QString> ascii = [] {
        QList<QString> texts;
        for (char16_t code = 0; code < 128; ++code)
            texts.append(QString(QChar(code)));
        return texts;
    }();
    return c.unicode() < 128 ? ascii[c.unicode()] : QString(c);
}

// One past the end of the block comment that starts at `i`. Block comments nest in T-SQL.
int blockCommentEnd(const QString& batch, int i)
{
    const int size = batch.size();
    int depth = 0;
    do {
        if (batch.mid(i, 2) == QLatin1String("/*")) {
            ++depth;
            i += 2;
        } else if (batch.mid(i, 2) == QLatin1String("*/")) {
            --depth;
            i += 2;
        } else {
            ++i;
        }
    } while (depth > 0 && i < size);
    if (depth > 0)
        throw ServerError(113, QStringLiteral("Missing end comment mark '*/'."), 15);
    return i;
}

// One past the end of the number that starts at `i`: digits, a point and digits, an exponent.
int numberEnd(const QString& batch, int i)
{
    const int size = batch.size();
    auto at = [&](int index) { return index < size ? batch[index] : QChar(); };
    int j = i;
    while (j < size && isDigit(batch[j]))
        ++j;
    if (at(j) == QLatin1Char('.')) {
        ++j;
        while (j < size && isDigit(batch[j]))
            ++j;
    }
    if ((at(j) == QLatin1Char('e') || at(j) == QLatin1Char('E'))
        && (isDigit(at(j + 1))
            || ((at(j + 1) == QLatin1Char('+') || at(j + 1) == QLatin1Char('-')) && isDigit(at(j + 2))))) {
        j += 2;
        while (j < size && isDigit(batch[j]))
            ++j;
    }
    return j;
}

} // namespace

QList<Token> Lexer::tokenize(const QString& batch)
{
    QList<Token> tokens;
    const int size = batch.size();
    // About one token in five characters of a batch of rows.
    tokens.reserve(size / 5 + 1);
    int i = 0;
    auto at = [&](int index) { return index < size ? batch[index] : QChar(); };

    while (i < size) {
        const QChar c = batch[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('-') && at(i + 1) == QLatin1Char('-')) {
            while (i < size && batch[i] != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char('/') && at(i + 1) == QLatin1Char('*')) {
            i = blockCommentEnd(batch, i);
            continue;
        }

        Token token;
        token.position = i;
        const bool national
            = (c == QLatin1Char('N') || c == QLatin1Char('n')) && at(i + 1) == QLatin1Char('\'');
        if (c == QLatin1Char('\'') || national) {
            token.kind = national ? Token::Kind::NationalString : Token::Kind::String;
            token.text = readDelimited(batch, national ? i + 2 : i + 1, QLatin1Char('\''), i);
        } else if (c == QLatin1Char('[')) {
            token.kind = Token::Kind::QuotedName;
            token.text = readDelimited(batch, i + 1, QLatin1Char(']'), i);
        } else if (c == QLatin1Char('"')) {
            token.kind = Token::Kind::QuotedName;
            token.text = readDelimited(batch, i + 1, QLatin1Char('"'), i);
        } else if (c == QLatin1Char('0')
            && (at(i + 1) == QLatin1Char('x') || at(i + 1) == QLatin1Char('X'))) {
            int j = i + 2;
            while (j < size && isxdigit(batch[j].toLatin1()) && batch[j].unicode() < 128)
                ++j;
            token.kind = Token::Kind::Binary;
            token.text = batch.mid(i + 2, j - i - 2);
            i = j;
        } else if (isDigit(c) || (c == QLatin1Char('.') && isDigit(at(i + 1)))) {
            const int j = numberEnd(batch, i);
            token.kind = Token::Kind::Number;
            token.text = batch.mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('@')) {
            int j = i + 1;
            if (at(j) == QLatin1Char('@'))
                ++j;
            while (j < size && isNamePart(batch[j]))
                ++j;
            token.kind = Token::Kind::Variable;
            token.text = batch.mid(i, j - i);
            i = j;
        } else if (isNameStart(c)) {
            int j = i + 1;
            while (j < size && isNamePart(batch[j]))
                ++j;
            token.kind = Token::Kind::Word;
            token.text = batch.mid(i, j - i);
            i = j;
        } else {
            static const char* const twoCharacter[]
                = { "<>", "!=", "<=", ">=", "!<", "!>", "+=", "-=", "*=", "/=", "||" };
            token.kind = Token::Kind::Symbol;
            token.text = symbolText(c);
            const QStringView pair = QStringView(batch).mid(i, 2);
            for (const char* symbol : twoCharacter) {
                if (pair == QLatin1String(symbol)) {
                    token.text = QLatin1String(symbol);
                    break;
                }
            }
            i += token.text.size();
        }
        tokens.append(token);
    }
    Token end;
    end.kind = Token::Kind::End;
    end.position = size;
    tokens.append(end);
    return tokens;
}

} // namespace glimora::engine
