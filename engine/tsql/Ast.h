#pragma once

#include "engine/values/SqlType.h"

#include <memory>
#include <QList>
#include <QString>
#include <QStringList>

// The parsed form of a batch: plain data, built by BatchParser and read by the
// translator and the session.
namespace glimora::engine::ast {

struct Select;
struct Expr;
using ExprPtr = std::shared_ptr<Expr>;
using SelectPtr = std::shared_ptr<Select>;

struct Expr
{
    enum class Kind {
        Null,
        String, // text; national tells N'...'
        Number, // text holds the literal
        Binary, // text holds the hex digits
        Column, // qualifier (may be empty) and name
        Star, // qualifier may be empty
        Variable, // @name or @@name
        Unary, // op: "-", "+", "~", "not"
        Binary_, // op: arithmetic, comparison, "and", "or"
        Function, // name, args, distinct, star (count(*))
        Cast, // args[0], type; convert keeps style in args[1]
        Case, // args: [operand or null], when, then, ..., [else]
        Subquery, // select
        Exists, // select
        In, // args[0] in (args[1..]) or in (select); negated
        Between, // args[0] between args[1] and args[2]; negated
        Like, // args[0] like args[1] [escape args[2]]; negated
        IsNull, // args[0] is [not] null
    };

    Kind kind = Kind::Null;
    QString text; // literal text, column name, function name, operator, variable
    QString qualifier; // table or alias of a column
    bool national = false;
    bool distinct = false;
    bool negated = false;
    bool hasElse = false;
    bool hasOperand = false;
    QList<ExprPtr> args;
    SelectPtr select;
    SqlType type;
    int position = 0;
};

struct TableSource
{
    enum class Kind { Table, Subquery, Rowset };
    Kind kind = Kind::Table;
    QString database; // empty: the current one
    QString name; // table name
    QString alias;
    SelectPtr select;
    // openrowset('provider', 'options', sheet$)
    QString provider;
    QString options;
    QString object;
};

struct Join
{
    QString type; // "inner", "left", "right", "full", "cross", "," for a comma list
    TableSource source;
    ExprPtr condition;
};

struct FromClause
{
    TableSource first;
    QList<Join> joins;
};

struct SelectItem
{
    ExprPtr expr;
    QString alias;
    QString assignTo; // select @v = expr
};

struct OrderItem
{
    ExprPtr expr;
    bool descending = false;
};

struct Select
{
    bool distinct = false;
    ExprPtr top;
    QList<SelectItem> items;
    bool hasFrom = false;
    FromClause from;
    ExprPtr where;
    QList<ExprPtr> groupBy;
    ExprPtr having;
    // Further SELECTs joined by UNION [ALL], in order.
    QList<std::pair<QString, SelectPtr>> unions;
    QList<OrderItem> orderBy;
};

struct ColumnDefinition
{
    QString name;
    SqlType type;
    bool notNull = false;
    bool primaryKey = false;
    bool unique = false;
    bool identity = false;
    qint64 identitySeed = 1;
    qint64 identityIncrement = 1;
    ExprPtr defaultValue;
};

struct Statement;
using StatementPtr = std::shared_ptr<Statement>;

struct Statement
{
    enum class Kind {
        Select,
        Insert,
        Update,
        Delete,
        CreateTable,
        DropTable,
        CreateDatabase,
        DropDatabase,
        Use,
        Exec,
        SetOption,
        Print,
        Declare,
        SetVariable,
        Block,
        If,
        While,
        BeginTransaction,
        CommitTransaction,
        RollbackTransaction,
        Backup, // backup database|log <name> to disk='...'
        Restore, // restore database <name> | verifyonly from disk='...'
        Kill, // kill <expr>
        DeclareCursor, // name, select
        OpenCursor, // name
        FetchCursor, // name; columns: the variables of INTO
        CloseCursor, // name
        DeallocateCursor, // name
    };

    Kind kind = Kind::Select;
    int position = 0;
    QString keyword; // the word that began the statement, for messages

    // select, insert ... select, declare cursor
    SelectPtr select;

    // insert, update, delete, create table, drop table
    QString table;
    QStringList tables; // drop table a, b
    QStringList columns;
    QList<QList<ExprPtr>> rows; // insert ... values
    bool defaultValues = false;
    StatementPtr execSource; // insert ... exec
    QList<std::pair<QString, ExprPtr>> assignments; // update set
    ExprPtr where;
    QList<ColumnDefinition> columnDefinitions;
    QStringList primaryKey; // table-level primary key

    // create/drop database, use, exec
    QString name;
    QList<std::pair<QString, ExprPtr>> arguments; // exec: parameter name (may be empty), value
    ExprPtr dynamicText; // exec ('...' + @v)

    // backup and restore: name is the database, device the path of disk='...'
    QString device;
    bool log = false; // backup log
    bool verifyOnly = false; // restore verifyonly
    bool init = false; // with init
    bool format = false; // with format
    bool replace = false; // with replace
    int fileNumber = 1; // with file = n

    // procedural statements
    ExprPtr expr; // print, set @v, if/while condition
    QList<StatementPtr> body;
    QList<StatementPtr> elseBody;
};

} // namespace glimora::engine::ast
