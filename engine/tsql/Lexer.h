#pragma once

#include "engine/tsql/Token.h"

#include <QList>
#include <QString>

namespace glimora::engine {

// Splits a batch into tokens: comments dropped, strings with doubled quotes, N'...',
// 0x... binary constants, [names], numbers, @variables. Throws ServerError on an
// unclosed string or comment.
class Lexer
{
public:
    static QList<Token> tokenize(const QString& batch);
};

} // namespace glimora::engine
