#include "data/SelectStatement.h"

namespace glimora::data {

namespace {

enum class TokenKind { Name, Comma, Other };

struct Token
{
    TokenKind kind;
    qsizetype start;
    qsizetype end;
};

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#')
        || c == QLatin1Char('$') || c == QLatin1Char('.');
}

// Skips a quoted run starting at `position` (the opening quote); returns the position after it.
qsizetype skipQuoted(const QString& text, qsizetype position, QChar closing)
{
    ++position;
    while (position < text.size()) {
        if (text[position] == closing) {
            if (position + 1 < text.size() && text[position + 1] == closing) {
                position += 2;
                continue;
            }
            return position + 1;
        }
        ++position;
    }
    return position;
}

// The end of a comment starting at `position`, or `position` when none starts there. Block
// comments nest, as the server reads them: "/* /* */ still a comment */".
qsizetype skipComment(const QString& text, qsizetype position)
{
    if (text.mid(position, 2) == QLatin1String("--")) {
        while (position < text.size() && text[position] != QLatin1Char('\n'))
            ++position;
        return position;
    }
    if (text.mid(position, 2) != QLatin1String("/*"))
        return position;
    int depth = 0;
    while (position < text.size()) {
        if (text.mid(position, 2) == QLatin1String("/*")) {
            ++depth;
            position += 2;
        } else if (text.mid(position, 2) == QLatin1String("*/")) {
            position += 2;
            if (--depth == 0)
                return position;
        } else {
            ++position;
        }
    }
    return position;
}

// The tokens outside parentheses; a parenthesised group is one Other token.
QList<Token> topLevelTokens(const QString& text)
{
    QList<Token> tokens;
    qsizetype position = 0;
    while (position < text.size()) {
        const QChar c = text[position];
        const qsizetype start = position;
        if (c.isSpace()) {
            ++position;
            continue;
        }
        if (const qsizetype after = skipComment(text, position); after != position) {
            position = after;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            position = skipQuoted(text, position, QLatin1Char('\''));
            tokens.append({ TokenKind::Other, start, position });
            continue;
        }
        if (c == QLatin1Char('(')) {
            int depth = 0;
            while (position < text.size()) {
                const QChar inner = text[position];
                if (inner == QLatin1Char('\'') || inner == QLatin1Char('"') || inner == QLatin1Char('[')) {
                    position
                        = skipQuoted(text, position, inner == QLatin1Char('[') ? QLatin1Char(']') : inner);
                    continue;
                }
                if (const qsizetype after = skipComment(text, position); after != position) {
                    position = after;
                    continue;
                }
                if (inner == QLatin1Char('('))
                    ++depth;
                else if (inner == QLatin1Char(')') && --depth == 0) {
                    ++position;
                    break;
                }
                ++position;
            }
            tokens.append({ TokenKind::Other, start, position });
            continue;
        }
        if (c == QLatin1Char(',')) {
            tokens.append({ TokenKind::Comma, start, ++position });
            continue;
        }
        if (isNameChar(c) || c == QLatin1Char('[') || c == QLatin1Char('"')) {
            while (position < text.size()) {
                const QChar inner = text[position];
                if (inner == QLatin1Char('['))
                    position = skipQuoted(text, position, QLatin1Char(']'));
                else if (inner == QLatin1Char('"'))
                    position = skipQuoted(text, position, QLatin1Char('"'));
                else if (isNameChar(inner))
                    ++position;
                else
                    break;
            }
            tokens.append({ TokenKind::Name, start, position });
            continue;
        }
        tokens.append({ TokenKind::Other, start, ++position });
    }
    return tokens;
}

bool isKeyword(const QString& text, const Token& token, const char* keyword)
{
    return token.kind == TokenKind::Name
        && text.mid(token.start, token.end - token.start).compare(QLatin1String(keyword), Qt::CaseInsensitive)
        == 0;
}

// The last part of a dotted name without its brackets or quotes.
QString bareName(const QString& name)
{
    QString last = name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && !name.endsWith(QLatin1Char(']')) && !name.endsWith(QLatin1Char('"')))
        last = name.mid(dot + 1);
    else if (name.endsWith(QLatin1Char(']'))) {
        const qsizetype open = name.lastIndexOf(QLatin1Char('['));
        last = name.mid(open + 1, name.size() - open - 2).replace(QLatin1String("]]"), QLatin1String("]"));
    } else if (name.endsWith(QLatin1Char('"'))) {
        const qsizetype open = name.lastIndexOf(QLatin1Char('"'), name.size() - 2);
        last = name.mid(open + 1, name.size() - open - 2);
    }
    return last;
}

} // namespace

SelectStatement SelectStatement::parse(const QString& text)
{
    SelectStatement statement;
    statement.m_text = text;
    const QList<Token> tokens = topLevelTokens(text);
    if (tokens.isEmpty() || !isKeyword(text, tokens[0], "select"))
        return statement;
    if (tokens.size() > 1 && (isKeyword(text, tokens[1], "distinct") || isKeyword(text, tokens[1], "top")))
        return statement;

    qsizetype fromIndex = -1;
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        if (isKeyword(text, tokens[i], "from")) {
            fromIndex = i;
            break;
        }
    }
    if (fromIndex < 2 || fromIndex + 1 >= tokens.size() || tokens[fromIndex + 1].kind != TokenKind::Name)
        return statement;

    // The select list, split at its top-level commas.
    qsizetype itemStart = tokens[0].end;
    int namesInItem = 0;
    int tokensInItem = 0;
    for (qsizetype i = 1; i <= fromIndex; ++i) {
        if (i == fromIndex || tokens[i].kind == TokenKind::Comma) {
            const qsizetype itemEnd = i == fromIndex ? tokens[fromIndex - 1].end : tokens[i].start;
            statement.m_items.append(text.mid(itemStart, itemEnd - itemStart).trimmed());
            statement.m_itemIsName.append(tokensInItem == 1 && namesInItem == 1);
            itemStart = tokens[i].end;
            namesInItem = 0;
            tokensInItem = 0;
            continue;
        }
        ++tokensInItem;
        if (tokens[i].kind == TokenKind::Name)
            ++namesInItem;
    }
    statement.m_listEnd = tokens[fromIndex - 1].end;

    const Token& table = tokens[fromIndex + 1];
    statement.m_table = text.mid(table.start, table.end - table.start);

    // After the table only a WHERE or ORDER BY clause may follow.
    if (fromIndex + 2 < tokens.size() && !isKeyword(text, tokens[fromIndex + 2], "where")
        && !isKeyword(text, tokens[fromIndex + 2], "order"))
        return statement;
    // Nor any word that begins another statement: a USE after the select would send the
    // writes to a table of another database, a SET or EXEC change what they do.
    static const char* const refused[] = { "union", "group", "having", "join", "intersect", "except", "for",
        "compute", "into", "select", "use", "set", "exec", "execute", "declare", "insert", "update", "delete",
        "go", "create", "drop", "alter", "truncate", "begin", "commit", "rollback", "save", "if", "while",
        "print", "raiserror", "waitfor", "backup", "restore", "grant", "revoke", "deny", "kill", "open",
        "fetch", "close", "deallocate", "dbcc", "merge", "with", "return", "goto", "break", "continue",
        "bulk", "checkpoint", "reconfigure", "shutdown", "setuser", "revert", "readtext", "writetext",
        "updatetext" };
    for (qsizetype i = fromIndex + 2; i < tokens.size(); ++i) {
        for (const char* word : refused) {
            if (isKeyword(text, tokens[i], word))
                return statement;
        }
        if (text.mid(tokens[i].start, 1) == QLatin1String(";"))
            return statement;
    }
    statement.m_singleTable = true;
    return statement;
}

QString SelectStatement::tableName() const
{
    return bareName(m_table);
}

bool SelectStatement::selectsAllColumns() const
{
    for (const QString& item : m_items) {
        if (item == QLatin1String("*") || item.endsWith(QLatin1String(".*")))
            return true;
    }
    return false;
}

QString SelectStatement::itemColumn(int index) const
{
    if (index < 0 || index >= m_items.size() || !m_itemIsName[index])
        return {};
    return bareName(m_items[index]);
}

QString SelectStatement::withExtraColumns(const QStringList& columns) const
{
    if (columns.isEmpty())
        return m_text;
    return m_text.left(m_listEnd) + QLatin1Char(',') + columns.join(QLatin1Char(',')) + m_text.mid(m_listEnd);
}

} // namespace glimora::data
