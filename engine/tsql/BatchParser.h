#pragma once

#include "engine/tsql/Ast.h"
#include "engine/tsql/Token.h"

#include <QList>
#include <QString>

namespace glimora::engine {

// Parses a T-SQL batch into its statements. Statements need no separator: as in SQL
// Server, one ends where its grammar ends and the next begins with its own keyword.
// Any syntax error throws ServerError before a single statement has run.
class BatchParser
{
public:
    static QList<ast::StatementPtr> parse(const QString& batch);
    // One expression on its own, for example the text of exec('...').
    static ast::ExprPtr parseExpression(const QString& text);

private:
    explicit BatchParser(QList<Token> tokens);

    // statements
    QList<ast::StatementPtr> parseStatements();
    ast::StatementPtr parseStatement(bool firstInBatch);
    ast::StatementPtr parseSelectStatement();
    ast::StatementPtr parseInsert();
    ast::StatementPtr parseUpdate();
    ast::StatementPtr parseDelete();
    ast::StatementPtr parseCreate();
    ast::StatementPtr parseDrop();
    ast::StatementPtr parseUse();
    ast::StatementPtr parseExec(bool keywordSeen);
    ast::StatementPtr parseSet();
    ast::StatementPtr parseDeclare();
    ast::StatementPtr parseIf();
    ast::StatementPtr parseWhile();
    ast::StatementPtr parseBegin();
    ast::StatementPtr parseTransactionEnd(ast::Statement::Kind kind);
    ast::StatementPtr parseBackupOrRestore();
    ast::StatementPtr parseCursorStatement();
    void parseBackupOptions(ast::Statement& statement);
    ast::ColumnDefinition parseColumnDefinition();
    QStringList parseNameList();

    // select
    ast::SelectPtr parseSelect();
    ast::SelectPtr parseSelectCore();
    ast::TableSource parseTableSource();
    QString parseAlias();
    QString parseObjectName(QString* database = nullptr);
    SqlType parseType();

    // expressions
    ast::ExprPtr parseExpr();
    ast::ExprPtr parseAnd();
    ast::ExprPtr parseNot();
    ast::ExprPtr parsePredicate();
    ast::ExprPtr parseAdditive();
    ast::ExprPtr parseMultiplicative();
    ast::ExprPtr parseUnary();
    ast::ExprPtr parsePrimary();
    ast::ExprPtr parseFunction(const QString& name, int position);
    ast::ExprPtr parseCase(int position);

    // nodes
    static ast::ExprPtr makeExpr(ast::Expr::Kind kind, int position, const QString& text = QString());
    static ast::ExprPtr makeBinary(const QString& op, ast::ExprPtr left, ast::ExprPtr right);
    static ast::StatementPtr makeStatement(ast::Statement::Kind kind, const Token& start);

    // tokens
    const Token& peek(int ahead = 0) const;
    const Token& next();
    bool acceptWord(const char* word);
    bool acceptSymbol(const char* symbol);
    void expectWord(const char* word);
    void expectSymbol(const char* symbol);
    QString expectName();
    bool atStatementStart() const;
    [[noreturn]] void fail() const;
    // CREATE or DROP of something other than a table or database: unsupported when SQL
    // Server knows the kind of object, 343 otherwise.
    [[noreturn]] void refuseObjectType(const QString& verb) const;
    static bool isReserved(const QString& word);

    // One level of nesting (brackets, subqueries, blocks) for as long as it lives; each
    // operator of a chain counts as one more (deeper()) until the chain's level ends. Past
    // a limit the batch fails with 191 before the parser, or later the translator, runs out
    // of stack.
    class Nesting
    {
    public:
        explicit Nesting(BatchParser& parser);
        ~Nesting();
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        BatchParser& m_parser;
        int m_saved;
    };
    void deeper();

    QList<Token> m_tokens;
    int m_index = 0;
    int m_depth = 0;
};

} // namespace glimora::engine
