#include "engine/tsql/BatchParser.h"

#include "engine/server/ServerError.h"
#include "engine/tsql/Lexer.h"

#include <QSet>

namespace glimora::engine {

using namespace ast;
using Kind = Token::Kind;

namespace {

// Deep enough for any statement a person writes, shallow enough for the stack of a thread.
constexpr int deepestNesting = 400;

} // namespace

ExprPtr BatchParser::makeExpr(Expr::Kind kind, int position, const QString& text)
{
    auto expr = std::make_shared<Expr>();
    expr->kind = kind;
    expr->position = position;
    expr->text = text;
    return expr;
}

ExprPtr BatchParser::makeBinary(const QString& op, ExprPtr left, ExprPtr right)
{
    auto expr = makeExpr(Expr::Kind::Binary_, left->position, op);
    expr->args = { std::move(left), std::move(right) };
    return expr;
}

StatementPtr BatchParser::makeStatement(Statement::Kind kind, const Token& start)
{
    auto statement = std::make_shared<Statement>();
    statement->kind = kind;
    statement->position = start.position;
    statement->keyword = start.text;
    return statement;
}

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
            row.reserve(statement->rows.isEmpty() ? 4 : statement->rows.first().size());
            do {
                if (peek().isWord("default"))
                    throw ServerError::notSupported(QStringLiteral("DEFAULT"));
                // A constant alone is its own expression: the many of a batch of rows skip
                // the climb through every level of precedence.
                const Token& value = peek();
                const bool constant = value.kind == Kind::String || value.kind == Kind::NationalString
                    || value.kind == Kind::Number || value.isWord("null");
                if (constant && (peek(1).isSymbol(",") || peek(1).isSymbol(")")))
                    row.append(parsePrimary());
                else
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

} // namespace glimora::engine
