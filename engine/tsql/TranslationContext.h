#pragma once

#include "engine/storage/TableInfo.h"
#include "engine/tsql/Ast.h"

#include <optional>

namespace glimora::engine {

// What the translator asks of the session: the tables of the current database, the
// rows of an OPENROWSET source, and the values of variables and server functions.
class TranslationContext
{
public:
    struct Value
    {
        QString sql; // an SQLite literal
        SqlType type;
    };

    virtual ~TranslationContext() = default;
    // A table of the current database (database empty or the current one); nullopt when missing.
    virtual std::optional<TableInfo> findTable(const QString& database, const QString& name) = 0;
    // Called for every table whose rows a statement reads, at any depth, before any row is
    // read; throws when the session may not read it.
    virtual void requireRead(const QString& table) = 0;
    // Whether the session may know that the table exists: it holds some right on it.
    virtual bool mayKnow(const QString& table) = 0;
    // Loads the rows of an openrowset(...) source into a temporary table and describes it.
    virtual TableInfo openRowset(const ast::TableSource& source) = 0;
    // @variables and @@functions; nullopt when unknown.
    virtual std::optional<Value> variable(const QString& name) = 0;
    // db_name(), user_name() and the like, as literals; nullopt when unknown.
    virtual std::optional<Value> serverFunction(const QString& name) = 0;
};

} // namespace glimora::engine
