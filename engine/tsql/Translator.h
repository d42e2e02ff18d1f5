#pragma once

#include "engine/storage/TableInfo.h"
#include "engine/tsql/Ast.h"
#include "engine/tsql/TranslationContext.h"

#include <QList>
#include <QString>

#include <optional>

namespace glimora::engine {

// One column of a result set as the translator knows it before the rows come.
struct ResultColumn
{
    QString name;
    SqlType type; // Unknown when only the values can tell
    QString baseTable;
    QString baseColumn;
};

// Turns the parsed statements into SQLite statements that behave as SQL Server's:
// names resolved against the T-SQL column types, the TSQL collation on every text
// comparison, dates compared as dates, values converted to the column types on every
// write, and T-SQL functions mapped to the engine's own.
class Translator
{
public:
    struct Query
    {
        QString sql;
        QList<ResultColumn> columns;
        // The select item behind each column; null for the columns of a `*`.
        QList<const ast::Expr*> items;
    };

    explicit Translator(TranslationContext& context);

    Query select(const ast::Select& select);
    QString insert(const ast::Statement& statement);
    // A value of an INSERT ... VALUES row, bound to its statement instead of written into it.
    struct BoundValue
    {
        enum class Kind { Null, Text, Integer };
        Kind kind = Kind::Null;
        QString text;
        qint64 integer = 0;
    };
    // A multi-row INSERT ... VALUES of constants as the statement of one row, with parameters
    // ?1, ?2 ... for its columns, and the values of every row; the rows store exactly what
    // insert() stores. Nothing when a value is no text, integer, decimal or NULL, or when rows
    // would convert a column differently: then only insert() translates it.
    struct BoundInsert
    {
        QString sql;
        QList<QList<BoundValue>> rows;
    };
    std::optional<BoundInsert> boundInsert(const ast::Statement& statement);
    QString update(const ast::Statement& statement);
    QString remove(const ast::Statement& statement);
    // One expression without any table, for variables, PRINT and IF.
    Query expression(const ast::ExprPtr& expr);

    // The SQL text of a string as an SQLite literal.
    static QString quoteText(const QString& text);
    static QString quoteName(const QString& name);
    // tsql_convert(...) of an expression to a type; `store` when it is written to a column.
    static QString convertCall(const QString& sql, const SqlType& type, bool store, int style = 0);
    // The same for an expression of a known type: a decimal becomes an integer by cutting its
    // places and a float by its value, as SQL Server converts them.
    static QString convertFrom(
        const QString& sql, const SqlType& from, const SqlType& to, bool store, int style = 0);
    // Whether convertFrom() converts values of the two types alike.
    static bool convertsAlike(const SqlType& first, const SqlType& second);

    // A piece of SQLite SQL, the T-SQL type of its value, and the column it reads, if any.
    struct Fragment
    {
        QString sql;
        SqlType type;
        QString baseTable;
        QString baseColumn;
    };

private:
    struct Source
    {
        QString alias; // how columns may qualify it
        QString sqlQualifier;
        TableInfo table;
        bool isTable = false;
    };
    struct Scope
    {
        QList<Source> sources;
        const Scope* parent = nullptr;
        bool columnsAllowed = true;
        QList<ResultColumn> outputColumns; // for ORDER BY aliases
    };

    Query selectWithNames(const ast::Select& select, const Scope* parent, const QStringList& forcedNames);
    Query selectCore(
        const ast::Select& select, const Scope* parent, const QStringList& forcedNames, Scope& scope);
    QString fromClause(const ast::FromClause& from, Scope& scope);
    Source tableSource(const ast::TableSource& source, const Scope& scope);
    TableInfo resolveTable(const QString& database, const QString& name);
    static Scope singleTableScope(const TableInfo& table);

    Fragment expr(const ast::ExprPtr& expr, const Scope& scope);
    Fragment column(const ast::Expr& expr, const Scope& scope);
    Fragment variable(const ast::Expr& expr);
    Fragment unary(const ast::Expr& expr, const Scope& scope);
    Fragment cast(const ast::Expr& expr, const Scope& scope);
    Fragment caseWhen(const ast::Expr& expr, const Scope& scope);
    Fragment subquery(const ast::Expr& expr, const Scope& scope);
    Fragment inPredicate(const ast::Expr& expr, const Scope& scope);
    Fragment between(const ast::Expr& expr, const Scope& scope);
    Fragment like(const ast::Expr& expr, const Scope& scope);
    // The built-in functions, by a table of rules (TranslatorFunctions.cpp).
    Fragment function(const ast::Expr& expr, const Scope& scope);
    Fragment binary(const ast::Expr& expr, const Scope& scope);
    Fragment dateFunction(const ast::Expr& expr, const Scope& scope);
    Fragment objectId(const ast::Expr& expr);
    QString comparison(const QString& op, Fragment left, Fragment right);
    // Brings two operands to comparable forms; true when they are then compared as decimals
    // (COLLATE DECIMAL).
    bool alignForComparison(Fragment& left, Fragment& right);
    static void toDecimalText(Fragment& side);
    Fragment decimalArithmetic(const ast::Expr& e, const Fragment& left, const Fragment& right);
    Fragment literal(const ast::Expr& expr);
    // The columns that an INSERT writes, as indexes into `table`'s columns.
    QList<int> insertTargets(const ast::Statement& statement, const TableInfo& table);
    // Neither a number, a date nor binary: compared with the TSQL collation.
    static bool isTextLike(const SqlType& type);
    static bool isFloat(const SqlType& type);

    TranslationContext& m_context;
};

} // namespace glimora::engine
