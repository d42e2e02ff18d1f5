// CREATE and DROP of tables and databases: column definitions and data types.
#include "engine/tsql/BatchParser.h"

#include "engine/server/ServerError.h"

namespace glimora::engine {

using namespace ast;
using Kind = Token::Kind;

StatementPtr BatchParser::parseCreate()
{
    const Token& start = next();
    if (acceptWord("database")) {
        auto statement = makeStatement(Statement::Kind::CreateDatabase, start);
        statement->name = expectName();
        return statement;
    }
    if (!acceptWord("table"))
        refuseObjectType(QStringLiteral("CREATE "));
    auto statement = makeStatement(Statement::Kind::CreateTable, start);
    statement->table = parseObjectName(&statement->name);
    expectSymbol("(");
    do {
        if (peek().isWord("constraint") || peek().isWord("primary") || peek().isWord("unique")) {
            if (acceptWord("constraint"))
                expectName();
            if (acceptWord("primary")) {
                expectWord("key");
                acceptWord("clustered") || acceptWord("nonclustered");
                expectSymbol("(");
                statement->primaryKey = parseNameList();
                expectSymbol(")");
            } else if (acceptWord("unique")) {
                throw ServerError::notSupported(QStringLiteral("UNIQUE"));
            } else {
                throw ServerError::notSupported(peek().text.toUpper());
            }
            continue;
        }
        statement->columnDefinitions.append(parseColumnDefinition());
    } while (acceptSymbol(","));
    expectSymbol(")");
    return statement;
}

ColumnDefinition BatchParser::parseColumnDefinition()
{
    ColumnDefinition column;
    column.name = expectName();
    column.type = parseType();
    for (;;) {
        if (acceptWord("null")) {
            column.notNull = false;
        } else if (acceptWord("not")) {
            expectWord("null");
            column.notNull = true;
        } else if (acceptWord("primary")) {
            expectWord("key");
            acceptWord("clustered") || acceptWord("nonclustered");
            column.primaryKey = true;
        } else if (acceptWord("unique")) {
            column.unique = true;
        } else if (acceptWord("identity")) {
            column.identity = true;
            if (acceptSymbol("(")) {
                bool negative = acceptSymbol("-");
                if (peek().kind != Kind::Number)
                    fail();
                column.identitySeed = next().text.toLongLong() * (negative ? -1 : 1);
                expectSymbol(",");
                negative = acceptSymbol("-");
                if (peek().kind != Kind::Number)
                    fail();
                column.identityIncrement = next().text.toLongLong() * (negative ? -1 : 1);
                expectSymbol(")");
            }
        } else if (acceptWord("default")) {
            column.defaultValue = parsePrimary();
        } else if (acceptWord("constraint")) {
            expectName();
        } else if (peek().isWord("collate")) {
            next();
            expectName();
        } else {
            break;
        }
    }
    return column;
}

SqlType BatchParser::parseType()
{
    const Token& nameToken = peek();
    if (!nameToken.isName())
        fail();
    QString name = next().text;
    if (name.compare(QLatin1String("double"), Qt::CaseInsensitive) == 0 && acceptWord("precision"))
        name = QStringLiteral("float");
    if ((name.compare(QLatin1String("national"), Qt::CaseInsensitive) == 0) && peek().kind == Kind::Word)
        name = QStringLiteral("n") + next().text;
    int first = -2;
    int second = -2;
    if (acceptSymbol("(")) {
        if (acceptWord("max")) {
            first = SqlType::MaxLength;
        } else {
            if (peek().kind != Kind::Number)
                fail();
            first = next().text.toInt();
        }
        if (acceptSymbol(",")) {
            if (peek().kind != Kind::Number)
                fail();
            second = next().text.toInt();
        }
        expectSymbol(")");
    }
    SqlType type = SqlType::fromName(name, first, second);
    if (!type.isKnown())
        throw ServerError(2715,
            QStringLiteral("Column, parameter, or variable #1: Cannot find data type %1.").arg(name), 16, 6);
    if (type.isExactNumeric() && (type.precision < 1 || type.precision > 38 || type.scale > type.precision))
        throw ServerError(2750,
            QStringLiteral("Column or parameter #1: Specified column precision %1 is greater than the "
                           "maximum precision of 38.")
                .arg(type.precision),
            16);
    return type;
}

QStringList BatchParser::parseNameList()
{
    QStringList names;
    do {
        names.append(expectName());
        acceptWord("asc") || acceptWord("desc");
    } while (acceptSymbol(","));
    return names;
}

StatementPtr BatchParser::parseDrop()
{
    const Token& start = next();
    if (acceptWord("database")) {
        auto statement = makeStatement(Statement::Kind::DropDatabase, start);
        statement->name = expectName();
        return statement;
    }
    if (!acceptWord("table"))
        refuseObjectType(QStringLiteral("DROP "));
    auto statement = makeStatement(Statement::Kind::DropTable, start);
    do {
        statement->tables.append(parseObjectName());
    } while (acceptSymbol(","));
    statement->table = statement->tables.first();
    return statement;
}

} // namespace glimora::engine
