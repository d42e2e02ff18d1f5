// The words of T-SQL the parser knows by name: reserved words, the keywords that begin a
// statement, and the kinds of object SQL Server creates and drops.
#include "engine/tsql/BatchParser.h"

#include "engine/server/ServerError.h"

#include <QSet>

namespace glimora::engine {

using Kind = Token::Kind;

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
    static const QSet<QString> reserved = { "add", "all", "alter", "and", "any", "as", "asc", "backup",
        "begin", "between", "break", "by", "cascade", "case", "check", "close", "clustered", "collate",
        "column", "commit", "compute", "constraint", "continue", "convert", "create", "cross", "current",
        "current_timestamp", "cursor", "database", "deallocate", "declare", "default", "delete", "desc",
        "distinct", "drop", "else", "end", "escape", "except", "exec", "execute", "exists", "fetch", "for",
        "foreign", "from", "full", "function", "goto", "grant", "group", "having", "identity", "if", "in",
        "index", "inner", "insert", "intersect", "into", "is", "join", "key", "kill", "left", "like", "not",
        "null", "of", "on", "open", "openrowset", "option", "or", "order", "outer", "percent", "primary",
        "print", "proc", "procedure", "raiserror", "references", "restore", "return", "revoke", "right",
        "rollback", "select", "set", "some", "table", "then", "to", "top", "tran", "transaction", "truncate",
        "union", "unique", "update", "use", "values", "view", "when", "where", "while", "with" };
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

} // namespace glimora::engine
