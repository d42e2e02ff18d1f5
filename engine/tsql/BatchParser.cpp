#include "engine/tsql/BatchParser.h"

#include "engine/server/ServerError.h"
#include "engine/tsql/Lexer.h"

#include <QSet>

namespace glimora::engine {

using namespace ast;
using Kind = Token::Kind;

namespace {

ExprPtr makeExpr(Expr::Kind kind, int position, const QString& text = QString())
{
    auto expr = std::make_shared<Expr>();
    expr->kind = kind;
    expr->position = position;
    expr->text = text;
    return expr;
}

ExprPtr makeBinary(const QString& op, ExprPtr left, ExprPtr right)
{
    auto expr = makeExpr(Expr::Kind::Binary_, left->position, op);
    expr->args = { std::move(left), std::move(right) };
    return expr;
}

StatementPtr makeStatement(Statement::Kind kind, const Token& start)
{
    auto statement = std::make_shared<Statement>();
    statement->kind = kind;
    statement->position = start.position;
    statement->keyword = start.text;
    return statement;
}

// Deep enough for any statement a person writes, shallow enough for the stack of a thread.
constexpr int deepestNesting = 400;

} // namespace

BatchParser::BatchParser(QList<Token> tokens)
    : m_tokens(std::move(tokens))
{
}

BatchParser::Nesting::Nesting(BatchParser& parser)
    : m_parser(parser)
    , m_saved(parser.m_depth)
{
    parser.deeper();
}

BatchParser::Nesting::~Nesting()
{
    m_parser.m_depth = m_saved;
}

void BatchParser::deeper()
{
    if (++m_depth > deepestNesting)
        throw ServerError(191,
            QStringLiteral(
                "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
                "smaller queries."),
            15, 1);
}

QList<StatementPtr> BatchParser::parse(const QString& batch)
{
    BatchParser parser(Lexer::tokenize(batch));
    return parser.parseStatements();
}

ExprPtr BatchParser::parseExpression(const QString& text)
{
    BatchParser parser(Lexer::tokenize(text));
    ExprPtr expr = parser.parseExpr();
    if (parser.peek().kind != Kind::End)
        parser.fail();
    return expr;
}

// ---- tokens ----

const Token& BatchParser::peek(int ahead) const
{
    const int index = qMin(m_index + ahead, int(m_tokens.size()) - 1);
    return m_tokens[index];
}

const Token& BatchParser::next()
{
    const Token& token = m_tokens[m_index];
    if (token.kind != Kind::End)
        ++m_index;
    return token;
}

bool BatchParser::acceptWord(const char* word)
{
    if (!peek().isWord(word))
        return false;
    next();
    return true;
}

bool BatchParser::acceptSymbol(const char* symbol)
{
    if (!peek().isSymbol(symbol))
        return false;
    next();
    return true;
}

void BatchParser::expectWord(const char* word)
{
    if (!acceptWord(word))
        fail();
}

void BatchParser::expectSymbol(const char* symbol)
{
    if (!acceptSymbol(symbol))
        fail();
}

QString BatchParser::expectName()
{
    const Token& token = peek();
    if (token.kind == Kind::QuotedName || (token.kind == Kind::Word && !isReserved(token.text)))
        return next().text;
    fail();
}

void BatchParser::fail() const
{
    const Token* token = &peek();
    if (token->kind == Kind::End && m_index > 0)
        token = &m_tokens[m_index - 1];
    if (token->kind == Kind::End)
        throw ServerError::syntaxNear(QString());
    if (token->kind == Kind::Word && isReserved(token->text))
        throw ServerError::syntaxNearKeyword(token->text.toLower());
    if (token->kind == Kind::String || token->kind == Kind::NationalString)
        throw ServerError::syntaxNear(token->text);
    throw ServerError::syntaxNear(token->text);
}

void BatchParser::refuseObjectType(const QString& verb) const
{
    // The kinds of object that SQL Server creates and drops.
    static const QSet<QString> kinds = { "aggregate", "application", "assembly", "asymmetric", "availability",
        "broker", "certificate", "clustered", "columnstore", "column", "contract", "credential",
        "cryptographic", "database", "default", "endpoint", "event", "external", "fulltext", "function",
        "index", "login", "master", "message", "nonclustered", "partition", "primary", "proc", "procedure",
        "queue", "remote", "resource", "role", "route", "rule", "schema", "search", "security", "selective",
        "sequence", "server", "service", "signature", "spatial", "statistics", "symmetric", "synonym",
        "trigger", "type", "unique", "user", "view", "workload", "xml", "or" };
    const Token& token = peek();
    if (token.kind != Kind::Word)
        fail();
    if (kinds.contains(token.text.toLower()))
        throw ServerError::notSupported(verb + token.text.toUpper());
    throw ServerError(343,
        QStringLiteral("Unknown object type '%1' used in a CREATE, DROP, or ALTER statement.")
            .arg(token.text),
        15);
}

bool BatchParser::isReserved(const QString& word)
{
    static const QSet<QString> reserved = {
        "add",
        "all",
        "alter",
        "and",
        "any",
        "as",
        "asc",
        "backup",
        "begin",
        "between",
        "break",
        "by",
        "cascade",
        "case",
        "check",
        "close",
        "clustered",
        "collate",
        "column",
        "commit",
        "compute",
        "constraint",
        "continue",
        "convert",
        "create",
        "cross",
        "current",
        "current_timestamp",
        "cursor",
        "database",
        "deallocate",
        "declare",
        "default",
        "delete",
        "desc",
        "distinct",
        "drop",
        "else",
        "end",
        "escape",
        "except",
        "exec",
        "execute",
        "exists",
        "fetch",
        "for",
        "foreign",
        "from",
        "full",
        "function",
        "goto",
        "grant",
        "group",
        "having",
        "identity",
        "if",
        "in",
        "index",
        "inner",
        "insert",
        "intersect",
        "into",
        "is",
        "join",
        "key",
        "kill",
        "left",
        "like",
        "not",
        "null",
        "of",
        "on",
        "open",
        "openrowset",
        "option",
        "or",
        "order",
        "outer",
        "percent",
        "primary",
        "print",
        "proc",
        "procedure",
        "raiserror",
        "references",
        "restore",
        "return",
        "revoke",
        "right",
        "rollback",
        "select",
        "set",
        "some",
        "table",
        "then",
        "to",
        "top",
        "tran",
        "transaction",
        "truncate",
        "union",
        "unique",
        "update",
        "use",
        "values",
        "view",
        "when",
        "where",
        "while",
        "with",
    };
    return reserved.contains(word.toLower());
}

bool BatchParser::atStatementStart() const
{
    const Token& token = peek();
    if (token.kind != Kind::Word)
        return false;
    static const char* const starts[] = { "select", "insert", "update", "delete", "create", "drop", "use",
        "exec", "execute", "set", "print", "declare", "if", "while", "begin", "commit", "rollback", "open",
        "fetch", "close", "deallocate", "kill", "backup", "restore", "truncate", "alter", "return", "grant",
        "revoke", "with" };
    for (const char* start : starts) {
        if (token.isWord(start))
            return true;
    }
    return false;
}

// ---- statements ----

QList<StatementPtr> BatchParser::parseStatements()
{
    QList<StatementPtr> statements;
    bool first = true;
    while (peek().kind != Kind::End) {
        if (acceptSymbol(";"))
            continue;
        statements.append(parseStatement(first));
        first = false;
    }
    return statements;
}

StatementPtr BatchParser::parseStatement(bool firstInBatch)
{
    const Nesting nesting(*this);
    const Token& token = peek();
    if (token.isSymbol("("))
        return parseSelectStatement();
    if (token.kind != Kind::Word) {
        if (firstInBatch && token.kind == Kind::QuotedName)
            return parseExec(false);
        fail();
    }
    if (token.isWord("select"))
        return parseSelectStatement();
    if (token.isWord("insert"))
        return parseInsert();
    if (token.isWord("update"))
        return parseUpdate();
    if (token.isWord("delete"))
        return parseDelete();
    if (token.isWord("create"))
        return parseCreate();
    if (token.isWord("drop"))
        return parseDrop();
    if (token.isWord("use"))
        return parseUse();
    if (token.isWord("exec") || token.isWord("execute"))
        return parseExec(true);
    if (token.isWord("set"))
        return parseSet();
    if (token.isWord("declare"))
        return parseDeclare();
    if (token.isWord("if"))
        return parseIf();
    if (token.isWord("while"))
        return parseWhile();
    if (token.isWord("begin"))
        return parseBegin();
    if (token.isWord("commit"))
        return parseTransactionEnd(Statement::Kind::CommitTransaction);
    if (token.isWord("rollback"))
        return parseTransactionEnd(Statement::Kind::RollbackTransaction);
    if (token.isWord("backup") || token.isWord("restore"))
        return parseBackupOrRestore();
    if (token.isWord("open") || token.isWord("fetch") || token.isWord("close") || token.isWord("deallocate"))
        return parseCursorStatement();
    if (token.isWord("kill")) {
        auto statement = makeStatement(Statement::Kind::Kill, next());
        statement->expr = parseUnary();
        return statement;
    }
    if (token.isWord("print")) {
        auto statement = makeStatement(Statement::Kind::Print, next());
        statement->expr = parseExpr();
        return statement;
    }
    // Statements SQL Server has and this server lacks; any other keyword here is out of place.
    static const QSet<QString> unsupported = { "alter", "truncate", "return", "grant", "revoke", "deny",
        "with", "raiserror", "goto", "waitfor", "bulk", "checkpoint", "dbcc", "reconfigure", "shutdown",
        "save", "readtext", "writetext", "updatetext", "break", "continue", "throw", "setuser",
        // clauses of the SELECT before: FOR XML, OPTION (hints)
        "for", "option" };
    if (token.kind == Kind::Word && unsupported.contains(token.text.toLower()))
        throw ServerError::notSupported(token.text.toUpper());
    // A procedure name alone is a call, but only as the first statement of a batch.
    if (firstInBatch && !isReserved(token.text))
        return parseExec(false);
    fail();
}

StatementPtr BatchParser::parseBackupOrRestore()
{
    const bool backup = peek().isWord("backup");
    auto statement = makeStatement(backup ? Statement::Kind::Backup : Statement::Kind::Restore, next());
    statement->keyword = backup ? QStringLiteral("backup") : QStringLiteral("restore");
    if (backup && acceptWord("log")) {
        statement->log = true;
    } else if (!backup && acceptWord("verifyonly")) {
        statement->verifyOnly = true;
    } else {
        expectWord("database");
    }
    if (!statement->verifyOnly)
        statement->name = expectName();
    if (backup)
        expectWord("to");
    else
        expectWord("from");
    expectWord("disk");
    expectSymbol("=");
    if (peek().kind != Kind::String && peek().kind != Kind::NationalString)
        fail();
    statement->device = next().text;
    if (acceptWord("with"))
        parseBackupOptions(*statement);
    return statement;
}

void BatchParser::parseBackupOptions(Statement& statement)
{
    do {
        if (peek().kind != Kind::Word)
            fail();
        const Token& option = next();
        if (option.isWord("init")) {
            statement.init = true;
        } else if (option.isWord("noinit")) {
            statement.init = false;
        } else if (option.isWord("format")) {
            statement.format = true;
        } else if (option.isWord("replace")) {
            statement.replace = true;
        } else if (option.isWord("file")) {
            expectSymbol("=");
            if (peek().kind != Kind::Number)
                fail();
            statement.fileNumber = next().text.toInt();
        } else if (acceptSymbol("=")) {
            // Options with a value that change nothing here: name = '...', stats = 10, ...
            next();
        }
        // Other bare options (norecovery, recovery, skip, checksum, stats) are accepted as no-ops.
    } while (acceptSymbol(","));
}

StatementPtr BatchParser::parseCursorStatement()
{
    const Token& start = next();
    const Statement::Kind kind = start.isWord("open") ? Statement::Kind::OpenCursor
        : start.isWord("fetch")                       ? Statement::Kind::FetchCursor
        : start.isWord("close")                       ? Statement::Kind::CloseCursor
                                                      : Statement::Kind::DeallocateCursor;
    auto statement = makeStatement(kind, start);
    if (kind == Statement::Kind::FetchCursor) {
        if (peek().isWord("prior") || peek().isWord("first") || peek().isWord("last")
            || peek().isWord("absolute") || peek().isWord("relative"))
            throw ServerError::notSupported(QStringLiteral("FETCH ") + peek().text.toUpper());
        acceptWord("next");
        acceptWord("from");
    }
    acceptWord("global");
    statement->name = expectName();
    if (kind == Statement::Kind::FetchCursor && acceptWord("into")) {
        do {
            if (peek().kind != Kind::Variable)
                fail();
            statement->columns.append(next().text);
        } while (acceptSymbol(","));
    }
    return statement;
}

StatementPtr BatchParser::parseSelectStatement()
{
    auto statement = makeStatement(Statement::Kind::Select, peek());
    statement->keyword = QStringLiteral("select");
    statement->select = parseSelect();
    return statement;
}

StatementPtr BatchParser::parseInsert()
{
    auto statement = makeStatement(Statement::Kind::Insert, next());
    acceptWord("into");
    statement->table = parseObjectName(&statement->name);
    if (peek().isSymbol("(") && !peek(1).isWord("select")) {
        next();
        statement->columns = parseNameList();
        expectSymbol(")");
    }
    if (acceptWord("values")) {
        do {
            expectSymbol("(");
            QList<ExprPtr> row;
            do {
                if (peek().isWord("default"))
                    throw ServerError::notSupported(QStringLiteral("DEFAULT"));
                row.append(parseExpr());
            } while (acceptSymbol(","));
            expectSymbol(")");
            statement->rows.append(row);
        } while (acceptSymbol(","));
    } else if (peek().isWord("select") || peek().isSymbol("(")) {
        statement->select = parseSelect();
    } else if (acceptWord("default")) {
        expectWord("values");
        statement->defaultValues = true;
    } else if (peek().isWord("exec") || peek().isWord("execute")) {
        statement->execSource = parseExec(true);
    } else {
        fail();
    }
    return statement;
}

StatementPtr BatchParser::parseUpdate()
{
    auto statement = makeStatement(Statement::Kind::Update, next());
    statement->table = parseObjectName(&statement->name);
    expectWord("set");
    do {
        QString column = expectName();
        if (acceptSymbol("."))
            column = expectName();
        if (!peek().isSymbol("="))
            fail();
        next();
        statement->assignments.append({ column, parseExpr() });
    } while (acceptSymbol(","));
    if (peek().isWord("from"))
        throw ServerError::notSupported(QStringLiteral("UPDATE ... FROM"));
    if (acceptWord("where"))
        statement->where = parseExpr();
    return statement;
}

StatementPtr BatchParser::parseDelete()
{
    auto statement = makeStatement(Statement::Kind::Delete, next());
    acceptWord("from");
    statement->table = parseObjectName(&statement->name);
    if (peek().isWord("from"))
        throw ServerError::notSupported(QStringLiteral("DELETE ... FROM"));
    if (acceptWord("where"))
        statement->where = parseExpr();
    return statement;
}

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

StatementPtr BatchParser::parseUse()
{
    auto statement = makeStatement(Statement::Kind::Use, next());
    statement->name = expectName();
    return statement;
}

StatementPtr BatchParser::parseExec(bool keywordSeen)
{
    auto statement = makeStatement(Statement::Kind::Exec, peek());
    if (keywordSeen)
        next();
    if (acceptSymbol("(")) {
        statement->dynamicText = parseExpr();
        expectSymbol(")");
        return statement;
    }
    if (peek().kind == Kind::Variable)
        throw ServerError::notSupported(QStringLiteral("EXEC @variable"));
    statement->name = parseObjectName();
    // A keyword ends the call: the next statement, or the END or ELSE around it.
    const Token& after = peek();
    if (after.kind == Kind::End || after.isSymbol(";")
        || (after.kind == Kind::Word && isReserved(after.text) && !after.isWord("null")
            && !after.isWord("default")))
        return statement;
    do {
        QString parameter;
        if (peek().kind == Kind::Variable && peek(1).isSymbol("=")) {
            parameter = next().text;
            next();
        }
        const Token& token = peek();
        ExprPtr value;
        if (token.kind == Kind::Word && !token.isWord("null") && !token.isWord("default")) {
            // Bare words are strings in procedure arguments: sp_adduser 'x',NULL,db_owner
            if (isReserved(token.text))
                fail();
            value = makeExpr(Expr::Kind::String, token.position, next().text);
        } else if (token.kind == Kind::QuotedName) {
            value = makeExpr(Expr::Kind::String, token.position, next().text);
        } else if (acceptWord("default")) {
            value = nullptr;
        } else if (token.kind == Kind::Symbol) {
            // A signed number is the only argument that is not one token; no expression is.
            if (!(token.isSymbol("-") || token.isSymbol("+")) || peek(1).kind != Kind::Number)
                fail();
            value = parseUnary();
        } else {
            value = parsePrimary();
        }
        acceptWord("output") || acceptWord("out");
        statement->arguments.append({ parameter, value });
    } while (acceptSymbol(","));
    return statement;
}

StatementPtr BatchParser::parseSet()
{
    const Token& start = next();
    if (peek().kind == Kind::Variable) {
        auto statement = makeStatement(Statement::Kind::SetVariable, start);
        statement->name = next().text;
        expectSymbol("=");
        statement->expr = parseExpr();
        return statement;
    }
    auto statement = makeStatement(Statement::Kind::SetOption, start);
    statement->name = expectName();
    // SQL Server's options; any other name (a variable without its @) fails the batch.
    static const QSet<QString> options = { "ansi_defaults", "ansi_null_dflt_off", "ansi_null_dflt_on",
        "ansi_nulls", "ansi_padding", "ansi_warnings", "arithabort", "arithignore", "concat_null_yields_null",
        "context_info", "cursor_close_on_commit", "datefirst", "dateformat", "deadlock_priority",
        "disable_def_cnst_chk", "fips_flagger", "fmtonly", "forceplan", "identity_insert",
        "implicit_transactions", "language", "lock_timeout", "no_browsetable", "nocount", "noexec",
        "numeric_roundabort", "offsets", "parseonly", "query_governor_cost_limit", "quoted_identifier",
        "remote_proc_transactions", "rowcount", "showplan_all", "showplan_text", "showplan_xml", "statistics",
        "textsize", "xact_abort" };
    if (!options.contains(statement->name.toLower()))
        throw ServerError(
            195, QStringLiteral("'%1' is not a recognized SET option.").arg(statement->name), 15);
    // SET options run to their value: ON, OFF, a word or a number.
    while (peek().kind == Kind::Word && !atStatementStart() && !peek().isWord("on") && !peek().isWord("off"))
        statement->columns.append(next().text);
    if (peek().isWord("on") || peek().isWord("off") || peek().kind == Kind::Number)
        statement->columns.append(next().text);
    return statement;
}

StatementPtr BatchParser::parseDeclare()
{
    const Token& start = next();
    if (peek().kind != Kind::Variable) {
        // declare <name> cursor [local|global|forward_only|static|...] for <select>
        auto cursor = makeStatement(Statement::Kind::DeclareCursor, start);
        cursor->name = expectName();
        expectWord("cursor");
        while (peek().kind == Kind::Word && !peek().isWord("for"))
            next();
        expectWord("for");
        cursor->select = parseSelect();
        return cursor;
    }
    auto statement = makeStatement(Statement::Kind::Declare, start);
    do {
        if (peek().kind != Kind::Variable)
            fail();
        ColumnDefinition variable;
        variable.name = next().text;
        acceptWord("as");
        variable.type = parseType();
        if (acceptSymbol("="))
            variable.defaultValue = parseExpr();
        statement->columnDefinitions.append(variable);
    } while (acceptSymbol(","));
    return statement;
}

StatementPtr BatchParser::parseIf()
{
    auto statement = makeStatement(Statement::Kind::If, next());
    statement->expr = parseExpr();
    statement->body.append(parseStatement(false));
    if (acceptWord("else"))
        statement->elseBody.append(parseStatement(false));
    return statement;
}

StatementPtr BatchParser::parseWhile()
{
    auto statement = makeStatement(Statement::Kind::While, next());
    statement->expr = parseExpr();
    statement->body.append(parseStatement(false));
    return statement;
}

StatementPtr BatchParser::parseBegin()
{
    const Token& start = next();
    if (acceptWord("tran") || acceptWord("transaction")) {
        auto statement = makeStatement(Statement::Kind::BeginTransaction, start);
        if (peek().kind == Kind::Word && !isReserved(peek().text))
            next();
        return statement;
    }
    auto statement = makeStatement(Statement::Kind::Block, start);
    while (!peek().isWord("end")) {
        if (peek().kind == Kind::End)
            fail();
        if (acceptSymbol(";"))
            continue;
        statement->body.append(parseStatement(false));
    }
    next();
    return statement;
}

StatementPtr BatchParser::parseTransactionEnd(Statement::Kind kind)
{
    auto statement = makeStatement(kind, next());
    if (acceptWord("tran") || acceptWord("transaction") || acceptWord("work")) {
        if (peek().kind == Kind::Word && !atStatementStart() && !isReserved(peek().text))
            next();
    }
    return statement;
}

// ---- select ----

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

// ---- expressions ----

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
