// Expressions, from the loosest operator (OR) down to the primaries: literals, names,
// variables, function calls, CASE and subqueries.
#include "engine/tsql/BatchParser.h"

#include "engine/server/ServerError.h"

namespace glimora::engine {

using namespace ast;
using Kind = Token::Kind;

ExprPtr BatchParser::parseExpr()
{
    const Nesting nesting(*this);
    ExprPtr left = parseAnd();
    while (peek().isWord("or")) {
        next();
        deeper();
        left = makeBinary(QStringLiteral("or"), left, parseAnd());
    }
    return left;
}

ExprPtr BatchParser::parseAnd()
{
    ExprPtr left = parseNot();
    while (peek().isWord("and")) {
        next();
        deeper();
        left = makeBinary(QStringLiteral("and"), left, parseNot());
    }
    return left;
}

ExprPtr BatchParser::parseNot()
{
    if (peek().isWord("not")) {
        const Nesting nesting(*this);
        const int position = next().position;
        auto expr = makeExpr(Expr::Kind::Unary, position, QStringLiteral("not"));
        expr->args.append(parseNot());
        return expr;
    }
    return parsePredicate();
}

ExprPtr BatchParser::parsePredicate()
{
    if (peek().isWord("exists")) {
        const int position = next().position;
        expectSymbol("(");
        auto expr = makeExpr(Expr::Kind::Exists, position);
        expr->select = parseSelect();
        expectSymbol(")");
        return expr;
    }
    ExprPtr left = parseAdditive();
    for (;;) {
        const Token& token = peek();
        if (token.kind == Kind::Symbol
            && (token.text == QLatin1String("=") || token.text == QLatin1String("<>")
                || token.text == QLatin1String("!=") || token.text == QLatin1String("<")
                || token.text == QLatin1String(">") || token.text == QLatin1String("<=")
                || token.text == QLatin1String(">=") || token.text == QLatin1String("!<")
                || token.text == QLatin1String("!>"))) {
            QString op = next().text;
            if (op == QLatin1String("!="))
                op = QStringLiteral("<>");
            else if (op == QLatin1String("!<"))
                op = QStringLiteral(">=");
            else if (op == QLatin1String("!>"))
                op = QStringLiteral("<=");
            if (peek().isWord("all") || peek().isWord("any") || peek().isWord("some"))
                throw ServerError::notSupported(peek().text.toUpper());
            left = makeBinary(op, left, parseAdditive());
            continue;
        }
        bool negated = false;
        if (token.isWord("not")
            && (peek(1).isWord("in") || peek(1).isWord("between") || peek(1).isWord("like"))) {
            next();
            negated = true;
        }
        if (acceptWord("is")) {
            auto expr = makeExpr(Expr::Kind::IsNull, left->position);
            expr->negated = acceptWord("not");
            expectWord("null");
            expr->args.append(left);
            left = expr;
            continue;
        }
        if (acceptWord("in")) {
            auto expr = makeExpr(Expr::Kind::In, left->position);
            expr->negated = negated;
            expr->args.append(left);
            expectSymbol("(");
            if (peek().isWord("select")) {
                expr->select = parseSelect();
            } else {
                do {
                    expr->args.append(parseExpr());
                } while (acceptSymbol(","));
            }
            expectSymbol(")");
            left = expr;
            continue;
        }
        if (acceptWord("between")) {
            auto expr = makeExpr(Expr::Kind::Between, left->position);
            expr->negated = negated;
            expr->args.append(left);
            expr->args.append(parseAdditive());
            expectWord("and");
            expr->args.append(parseAdditive());
            left = expr;
            continue;
        }
        if (acceptWord("like")) {
            auto expr = makeExpr(Expr::Kind::Like, left->position);
            expr->negated = negated;
            expr->args.append(left);
            expr->args.append(parseAdditive());
            if (acceptWord("escape"))
                expr->args.append(parseAdditive());
            left = expr;
            continue;
        }
        if (negated)
            fail();
        return left;
    }
}

ExprPtr BatchParser::parseAdditive()
{
    ExprPtr left = parseMultiplicative();
    for (;;) {
        const Token& token = peek();
        if (token.isSymbol("+") || token.isSymbol("-") || token.isSymbol("&") || token.isSymbol("|")
            || token.isSymbol("^")) {
            const QString op = next().text;
            deeper();
            left = makeBinary(op, left, parseMultiplicative());
            continue;
        }
        return left;
    }
}

ExprPtr BatchParser::parseMultiplicative()
{
    ExprPtr left = parseUnary();
    for (;;) {
        const Token& token = peek();
        if (token.isSymbol("*") || token.isSymbol("/") || token.isSymbol("%")) {
            const QString op = next().text;
            deeper();
            left = makeBinary(op, left, parseUnary());
            continue;
        }
        return left;
    }
}

ExprPtr BatchParser::parseUnary()
{
    const Token& token = peek();
    if (token.isSymbol("-") || token.isSymbol("+") || token.isSymbol("~")) {
        const Nesting nesting(*this);
        const int position = token.position;
        const QString op = next().text;
        ExprPtr operand = parseUnary();
        if (op == QLatin1String("-") && operand->kind == Expr::Kind::Number) {
            // Two minus signs side by side would start a comment in the translated text.
            if (operand->text.startsWith(QLatin1Char('-')))
                operand->text.remove(0, 1);
            else
                operand->text.prepend(QLatin1Char('-'));
            return operand;
        }
        auto expr = makeExpr(Expr::Kind::Unary, position, op);
        expr->args.append(operand);
        return expr;
    }
    return parsePrimary();
}

ExprPtr BatchParser::parsePrimary()
{
    const Token& token = peek();
    const int position = token.position;
    switch (token.kind) {
    case Kind::String:
    case Kind::NationalString: {
        auto expr = makeExpr(Expr::Kind::String, position, token.text);
        expr->national = token.kind == Kind::NationalString;
        next();
        return expr;
    }
    case Kind::Number:
        return makeExpr(Expr::Kind::Number, position, next().text);
    case Kind::Binary:
        return makeExpr(Expr::Kind::Binary, position, next().text);
    case Kind::Variable:
        return makeExpr(Expr::Kind::Variable, position, next().text);
    case Kind::Symbol:
        if (token.isSymbol("(")) {
            next();
            if (peek().isWord("select")) {
                auto expr = makeExpr(Expr::Kind::Subquery, position);
                expr->select = parseSelect();
                expectSymbol(")");
                return expr;
            }
            ExprPtr inner = parseExpr();
            expectSymbol(")");
            return inner;
        }
        if (token.isSymbol("*")) {
            next();
            return makeExpr(Expr::Kind::Star, position);
        }
        fail();
    case Kind::End:
        fail();
    case Kind::Word:
    case Kind::QuotedName:
        break;
    }

    if (token.kind == Kind::Word) {
        if (token.isWord("null")) {
            next();
            return makeExpr(Expr::Kind::Null, position);
        }
        if (token.isWord("case")) {
            next();
            return parseCase(position);
        }
        if (token.isWord("current_timestamp")) {
            next();
            return makeExpr(Expr::Kind::Function, position, QStringLiteral("getdate"));
        }
        if (isReserved(token.text) && !peek(1).isSymbol("("))
            fail();
    }
    QString name = next().text;
    if (token.kind == Kind::Word && peek().isSymbol("("))
        return parseFunction(name, position);
    if (isReserved(name) && token.kind == Kind::Word)
        fail();
    // column, table.column, schema.table.column, table.*
    QStringList parts { name };
    while (acceptSymbol(".")) {
        if (acceptSymbol("*")) {
            auto star = makeExpr(Expr::Kind::Star, position);
            star->qualifier = parts.last();
            return star;
        }
        if (peek().isSymbol(".")) {
            parts.append(QString());
            continue;
        }
        parts.append(expectName());
    }
    auto column = makeExpr(Expr::Kind::Column, position, parts.last());
    if (parts.size() >= 2)
        column->qualifier = parts[parts.size() - 2];
    return column;
}

ExprPtr BatchParser::parseFunction(const QString& name, int position)
{
    expectSymbol("(");
    const QString lower = name.toLower();
    if (lower == QLatin1String("cast")) {
        auto expr = makeExpr(Expr::Kind::Cast, position, lower);
        expr->args.append(parseExpr());
        expectWord("as");
        expr->type = parseType();
        expectSymbol(")");
        return expr;
    }
    if (lower == QLatin1String("convert")) {
        auto expr = makeExpr(Expr::Kind::Cast, position, lower);
        expr->type = parseType();
        expectSymbol(",");
        expr->args.append(parseExpr());
        if (acceptSymbol(","))
            expr->args.append(parseExpr());
        expectSymbol(")");
        return expr;
    }
    auto expr = makeExpr(Expr::Kind::Function, position, lower);
    if (acceptSymbol(")"))
        return expr;
    if (peek().isSymbol("*") && peek(1).isSymbol(")")) {
        next();
        next();
        expr->args.append(makeExpr(Expr::Kind::Star, position));
        return expr;
    }
    if (acceptWord("distinct"))
        expr->distinct = true;
    else
        acceptWord("all");
    do {
        expr->args.append(parseExpr());
    } while (acceptSymbol(","));
    expectSymbol(")");
    if (peek().isWord("over"))
        throw ServerError::notSupported(QStringLiteral("OVER"));
    return expr;
}

ExprPtr BatchParser::parseCase(int position)
{
    auto expr = makeExpr(Expr::Kind::Case, position);
    if (!peek().isWord("when")) {
        expr->hasOperand = true;
        expr->args.append(parseExpr());
    }
    if (!peek().isWord("when"))
        fail();
    while (acceptWord("when")) {
        expr->args.append(parseExpr());
        expectWord("then");
        expr->args.append(parseExpr());
    }
    if (acceptWord("else")) {
        expr->hasElse = true;
        expr->args.append(parseExpr());
    }
    expectWord("end");
    return expr;
}

} // namespace glimora::engine
