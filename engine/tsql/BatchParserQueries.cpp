// SELECT: its clauses, set operators, table sources and names.
#include "engine/tsql/BatchParser.h"

#include "engine/server/ServerError.h"

namespace glimora::engine {

using namespace ast;
using Kind = Token::Kind;

SelectPtr BatchParser::parseSelect()
{
    const Nesting nesting(*this);
    SelectPtr select = parseSelectCore();
    while (peek().isWord("union")) {
        next();
        QString kind = acceptWord("all") ? QStringLiteral("union all") : QStringLiteral("union");
        select->unions.append({ kind, parseSelectCore() });
    }
    if (peek().isWord("except") || peek().isWord("intersect"))
        throw ServerError::notSupported(peek().text.toUpper());
    if (acceptWord("order")) {
        expectWord("by");
        do {
            OrderItem item;
            item.expr = parseExpr();
            if (acceptWord("desc"))
                item.descending = true;
            else
                acceptWord("asc");
            select->orderBy.append(item);
        } while (acceptSymbol(","));
    }
    return select;
}

SelectPtr BatchParser::parseSelectCore()
{
    if (acceptSymbol("(")) {
        SelectPtr inner = parseSelect();
        expectSymbol(")");
        return inner;
    }
    expectWord("select");
    auto select = std::make_shared<Select>();
    if (acceptWord("distinct"))
        select->distinct = true;
    else
        acceptWord("all");
    if (acceptWord("top")) {
        if (acceptSymbol("(")) {
            select->top = parseExpr();
            expectSymbol(")");
        } else {
            if (peek().kind != Kind::Number && peek().kind != Kind::Variable)
                fail();
            select->top = parsePrimary();
        }
        if (peek().isWord("percent"))
            throw ServerError::notSupported(QStringLiteral("TOP ... PERCENT"));
        if (peek().isWord("with"))
            throw ServerError::notSupported(QStringLiteral("TOP ... WITH TIES"));
    }
    do {
        SelectItem item;
        const Token& token = peek();
        if (token.kind == Kind::Variable && peek(1).isSymbol("=")) {
            item.assignTo = next().text;
            next();
            item.expr = parseExpr();
        } else if (((token.isName() && !isReserved(token.text)) || token.kind == Kind::String)
            && peek(1).isSymbol("=")) {
            item.alias = next().text;
            next();
            item.expr = parseExpr();
        } else {
            item.expr = parseExpr();
            item.alias = parseAlias();
        }
        select->items.append(item);
    } while (acceptSymbol(","));
    if (peek().isWord("into"))
        throw ServerError::notSupported(QStringLiteral("SELECT ... INTO"));
    if (acceptWord("from")) {
        select->hasFrom = true;
        select->from.first = parseTableSource();
        for (;;) {
            Join join;
            if (acceptSymbol(",")) {
                join.type = QStringLiteral(",");
            } else if (acceptWord("cross")) {
                expectWord("join");
                join.type = QStringLiteral("cross");
            } else if (peek().isWord("join") || peek().isWord("inner")) {
                acceptWord("inner");
                expectWord("join");
                join.type = QStringLiteral("inner");
            } else if (peek().isWord("left") || peek().isWord("right") || peek().isWord("full")) {
                join.type = next().text.toLower();
                acceptWord("outer");
                expectWord("join");
            } else {
                break;
            }
            join.source = parseTableSource();
            if (join.type != QLatin1String(",") && join.type != QLatin1String("cross")) {
                expectWord("on");
                join.condition = parseExpr();
            }
            select->from.joins.append(join);
        }
    }
    if (acceptWord("where"))
        select->where = parseExpr();
    if (acceptWord("group")) {
        expectWord("by");
        do {
            select->groupBy.append(parseExpr());
        } while (acceptSymbol(","));
    }
    if (acceptWord("having"))
        select->having = parseExpr();
    return select;
}

QString BatchParser::parseAlias()
{
    if (acceptWord("as")) {
        if (peek().kind == Kind::String)
            return next().text;
        return expectName();
    }
    const Token& token = peek();
    if (token.kind == Kind::QuotedName || token.kind == Kind::String)
        return next().text;
    if (token.kind == Kind::Word && !isReserved(token.text))
        return next().text;
    return QString();
}

QString BatchParser::parseObjectName(QString* database)
{
    // server.database.schema.name, any part but the last may be empty (db..t)
    QStringList parts;
    if (peek().isSymbol("."))
        parts.append(QString());
    else
        parts.append(expectName());
    while (acceptSymbol(".")) {
        if (peek().isSymbol("."))
            parts.append(QString());
        else
            parts.append(expectName());
    }
    if (parts.size() > 3)
        throw ServerError::notSupported(QStringLiteral("four-part names"));
    if (database && parts.size() == 3)
        *database = parts.first();
    if (parts.last().isEmpty())
        fail();
    return parts.last();
}

TableSource BatchParser::parseTableSource()
{
    TableSource source;
    if (acceptSymbol("(")) {
        if (!peek().isWord("select"))
            fail();
        source.kind = TableSource::Kind::Subquery;
        source.select = parseSelect();
        expectSymbol(")");
        source.alias = parseAlias();
        if (source.alias.isEmpty())
            fail();
        return source;
    }
    if (acceptWord("openrowset")) {
        source.kind = TableSource::Kind::Rowset;
        expectSymbol("(");
        if (peek().kind != Kind::String)
            fail();
        source.provider = next().text;
        expectSymbol(",");
        if (peek().kind != Kind::String)
            fail();
        source.options = next().text;
        expectSymbol(",");
        if (peek().kind == Kind::String || peek().isName())
            source.object = next().text;
        else
            fail();
        expectSymbol(")");
        source.alias = parseAlias();
        return source;
    }
    source.name = parseObjectName(&source.database);
    source.alias = parseAlias();
    if (peek().isWord("with") && peek(1).isSymbol("(")) {
        // Table hints (nolock and the like) change nothing here.
        next();
        next();
        while (!peek().isSymbol(")") && peek().kind != Kind::End)
            next();
        expectSymbol(")");
    }
    return source;
}

} // namespace glimora::engine
