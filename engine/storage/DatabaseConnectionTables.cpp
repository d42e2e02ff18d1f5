// The tables of a database: their T-SQL columns and indexes as the engine records them,
// CREATE TABLE and DROP TABLE.
#include "engine/storage/DatabaseConnection.h"

#include "engine/storage/SqliteStatement.h"
#include "engine/tsql/Translator.h"
#include "engine/values/DecimalNumber.h"

#include <sqlite3.h>

namespace glimora::engine {

namespace {

// A decimal default as the column stores it: the text of the number with the column's places.
QString decimalDefault(const QString& literal, const SqlType& type)
{
    std::optional<DecimalNumber> value = DecimalNumber::parse(literal);
    if (value)
        value = value->rescaled(type.scale);
    if (!value || !value->fits(type.precision, type.scale))
        throw ServerError(
            8115, QStringLiteral("Arithmetic overflow error converting numeric to data type numeric."), 16);
    return Translator::quoteText(value->toString());
}

} // namespace

bool DatabaseConnection::isReservedName(const QString& name)
{
    return name.startsWith(QLatin1String("__glimora"), Qt::CaseInsensitive)
        || name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

void DatabaseConnection::refreshSchema()
{
    SqliteStatement statement(*this, QStringLiteral("PRAGMA schema_version"));
    statement.step();
    const qint64 version = statement.intColumn(0);
    if (version != m_schemaVersion) {
        forgetSchema();
        m_schemaVersion = version;
    }
}

std::optional<TableInfo> DatabaseConnection::table(const QString& name)
{
    if (isReservedName(name))
        return std::nullopt;
    const QString key = name.toLower();
    auto cached = m_tables.constFind(key);
    if (cached != m_tables.constEnd())
        return *cached;

    SqliteStatement lookup(
        *this, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
    lookup.bindText(1, name);
    if (!lookup.step())
        return std::nullopt;
    TableInfo info;
    info.name = lookup.textColumn(0);
    info.sqlName = Translator::quoteName(info.name);

    SqliteStatement columns(
        *this, QStringLiteral("PRAGMA table_info(%1)").arg(Translator::quoteText(info.name)));
    while (columns.step()) {
        ColumnInfo column;
        column.name = columns.textColumn(1);
        column.notNull = columns.intColumn(3) != 0;
        column.primaryKey = columns.intColumn(5) != 0;
        info.columns.append(column);
    }
    SqliteStatement types(
        *this, QStringLiteral("SELECT col, type, is_identity FROM __glimora_columns WHERE tbl=?"));
    types.bindText(1, info.name);
    while (types.step()) {
        const int index = info.indexOf(types.textColumn(0));
        if (index < 0)
            continue;
        info.columns[index].type = SqlType::fromText(types.textColumn(1));
        info.columns[index].identity = types.intColumn(2) != 0;
    }
    m_tables.insert(key, info);
    return info;
}

bool DatabaseConnection::isReading() const
{
    for (sqlite3_stmt* statement = sqlite3_next_stmt(m_db, nullptr); statement;
         statement = sqlite3_next_stmt(m_db, statement)) {
        if (sqlite3_stmt_busy(statement))
            return true;
    }
    return false;
}

void DatabaseConnection::forgetSchema()
{
    m_tables.clear();
    m_indexes.clear();
}

const QList<DatabaseConnection::IndexKey>& DatabaseConnection::indexes(const QString& table)
{
    const QString key = table.toLower();
    auto cached = m_indexes.find(key);
    if (cached != m_indexes.end())
        return *cached;
    QList<IndexKey> keys;
    {
        SqliteStatement list(
            *this, QStringLiteral("PRAGMA index_list(%1)").arg(Translator::quoteText(table)));
        while (list.step())
            keys.append({ list.textColumn(1), {} });
    }
    for (IndexKey& index : keys) {
        SqliteStatement info(
            *this, QStringLiteral("PRAGMA index_info(%1)").arg(Translator::quoteText(index.name)));
        while (info.step()) {
            // An expression or the rowid ends what the key offers by name.
            if (info.intColumn(1) < 0)
                break;
            index.columns.append(info.textColumn(2));
        }
    }
    return *m_indexes.insert(key, keys);
}

QStringList DatabaseConnection::tableNames()
{
    QStringList names;
    SqliteStatement statement(*this,
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite!_%' "
                       "ESCAPE '!' AND name NOT LIKE '!_!_glimora%' ESCAPE '!' ORDER BY name"));
    while (statement.step())
        names.append(statement.textColumn(0));
    return names;
}

namespace {

// The primary key of a new table, from its constraint or its column, once the columns are
// found sound: unique names, one key, one identity of an integer type.
QStringList checkedPrimaryKey(const ast::Statement& statement)
{
    const QString& name = statement.table;
    const QList<ast::ColumnDefinition>& definitions = statement.columnDefinitions;
    QStringList primaryKey = statement.primaryKey;
    int identities = 0;
    QStringList seen;
    for (const ast::ColumnDefinition& column : definitions) {
        if (seen.contains(column.name, Qt::CaseInsensitive))
            throw ServerError(2705,
                QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' is "
                               "specified more than once.")
                    .arg(column.name, name),
                16);
        seen.append(column.name);
        if (column.primaryKey) {
            if (!primaryKey.isEmpty())
                throw ServerError(8110,
                    QStringLiteral("Cannot add multiple PRIMARY KEY constraints to table '%1'.").arg(name),
                    16);
            primaryKey.append(column.name);
        }
        if (column.identity) {
            ++identities;
            if (!(column.type.isInteger() || (column.type.isExactNumeric() && column.type.scale == 0))
                || column.type.base == SqlType::Base::Bit)
                throw ServerError(2749,
                    QStringLiteral(
                        "Identity column '%1' must be of data type int, bigint, smallint, tinyint, or "
                        "decimal or numeric with a scale of 0, and constrained to be nonnullable.")
                        .arg(column.name),
                    16);
            if (column.identityIncrement != 1)
                throw ServerError::notSupported(QStringLiteral("IDENTITY with an increment other than 1"));
        }
    }
    if (identities > 1)
        throw ServerError(2744,
            QStringLiteral("Multiple identity columns specified for table '%1'. Only one identity column per "
                           "table is allowed.")
                .arg(name),
            16);
    for (const QString& key : primaryKey) {
        if (!seen.contains(key, Qt::CaseInsensitive))
            throw ServerError(1911,
                QStringLiteral("Column name '%1' does not exist in the target table or view.").arg(key), 16);
    }
    return primaryKey;
}

// The SQLite declaration of one column of a new table; wholeKey when the column alone is its
// primary key.
QString columnDeclaration(const ast::ColumnDefinition& column, bool inKey, bool wholeKey)
{
    QString part = Translator::quoteName(column.name) + QLatin1Char(' ');
    if (column.identity) {
        if (!wholeKey)
            throw ServerError::notSupported(
                QStringLiteral("IDENTITY on a column that is not the whole primary key"));
        return part + QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL");
    }
    part += column.type.sqliteDeclaration();
    if (column.notNull || inKey)
        part += QStringLiteral(" NOT NULL");
    if (column.defaultValue) {
        const ast::Expr& value = *column.defaultValue;
        if (value.kind == ast::Expr::Kind::String)
            part += QStringLiteral(" DEFAULT ") + Translator::quoteText(value.text);
        else if (value.kind == ast::Expr::Kind::Number && column.type.keepsDecimalText())
            part += QStringLiteral(" DEFAULT ") + decimalDefault(value.text, column.type);
        else if (value.kind == ast::Expr::Kind::Number)
            part += QStringLiteral(" DEFAULT ") + value.text;
        else if (value.kind == ast::Expr::Kind::Null)
            part += QStringLiteral(" DEFAULT NULL");
        else if (value.kind == ast::Expr::Kind::Function && value.text == QLatin1String("getdate"))
            part += QStringLiteral(" DEFAULT (tsql_getdate())");
        else
            throw ServerError::notSupported(QStringLiteral("this DEFAULT value"));
    }
    return part;
}

} // namespace

void DatabaseConnection::createTable(const ast::Statement& statement)
{
    const QString& name = statement.table;
    if (isReservedName(name) || name.startsWith(QLatin1Char('#')))
        throw ServerError::notSupported(QStringLiteral("the table name ") + name);
    if (table(name))
        throw ServerError::objectExists(name);

    const QList<ast::ColumnDefinition>& definitions = statement.columnDefinitions;
    const QStringList primaryKey = checkedPrimaryKey(statement);

    QStringList parts;
    const ast::ColumnDefinition* identityColumn = nullptr;
    for (const ast::ColumnDefinition& column : definitions) {
        const bool inKey = primaryKey.contains(column.name, Qt::CaseInsensitive);
        if (column.identity)
            identityColumn = &column;
        parts.append(columnDeclaration(column, inKey, inKey && primaryKey.size() == 1));
    }
    if (!primaryKey.isEmpty() && !(identityColumn && primaryKey.size() == 1)) {
        QStringList keys;
        for (const QString& key : primaryKey)
            keys.append(Translator::quoteName(key));
        parts.append(QStringLiteral("PRIMARY KEY(") + keys.join(QStringLiteral(", ")) + QLatin1Char(')'));
    }

    beginWrite();
    try {
        execute(QStringLiteral("CREATE TABLE ") + Translator::quoteName(name) + QLatin1Char('(')
            + parts.join(QStringLiteral(", ")) + QLatin1Char(')'));
        for (int i = 0; i < definitions.size(); ++i) {
            SqliteStatement insert(*this,
                QStringLiteral(
                    "INSERT INTO __glimora_columns(tbl, col, ordinal, type, is_identity) VALUES(?,?,?,?,?)"));
            insert.bindText(1, name);
            insert.bindText(2, definitions[i].name);
            insert.bindInt(3, i + 1);
            insert.bindText(4, definitions[i].type.name());
            insert.bindInt(5, definitions[i].identity ? 1 : 0);
            insert.step();
        }
        if (identityColumn && identityColumn->identitySeed != 1) {
            SqliteStatement seed(
                *this, QStringLiteral("INSERT INTO sqlite_sequence(name, seq) VALUES(?, ?)"));
            seed.bindText(1, name);
            seed.bindInt(2, identityColumn->identitySeed - 1);
            seed.step();
        }
        commitWrite();
    } catch (...) {
        rollbackWrite();
        forgetSchema();
        throw;
    }
    forgetSchema();
}

void DatabaseConnection::dropTable(const QString& name)
{
    const std::optional<TableInfo> info = table(name);
    if (!info)
        throw ServerError(3701,
            QStringLiteral(
                "Cannot drop the table '%1', because it does not exist or you do not have permission.")
                .arg(name),
            11, 5);
    beginWrite();
    try {
        execute(QStringLiteral("DROP TABLE ") + info->sqlName);
        SqliteStatement remove(*this, QStringLiteral("DELETE FROM __glimora_columns WHERE tbl=?"));
        remove.bindText(1, info->name);
        remove.step();
        commitWrite();
    } catch (...) {
        rollbackWrite();
        forgetSchema();
        throw;
    }
    forgetSchema();
}

} // namespace glimora::engine
