#pragma once

#include <QHash>
#include <QString>

namespace glimora::data {

// The two forms of connection string the program builds from the login values.
class ConnectionString
{
public:
    // Used when the `connect` setting of section `system` is empty.
    static QString builtInTemplate();

    // Fills the template: "????" the user name, "???" the password, "??" the server name and
    // "?" the database part. A run of question marks in the template is read as the old
    // replace-all steps read it (fours first, then the rest), but in one pass over the
    // template, so a "?" inside a value stays as typed. An empty template is the built-in one.
    static QString fromTemplate(const QString& templateText, const QString& userName, const QString& password,
        const QString& serverName, const QString& databasePart);

    // The data control's form: server, database, user, password; no template applies.
    static QString forDataControl(const QString& serverName, const QString& databaseName,
        const QString& userName, const QString& password);

    // A value as it can stand after "key=": in braces when it holds a ";" or starts with
    // "{". A value that would then need a doubled "}" is refused with DbError, because
    // FreeTDS does not undo the doubling and would log in with the wrong text.
    static QString quoteValue(const QString& value, const QString& what);
    // Why quoteValue() would refuse `value`, or empty when it can be carried.
    static QString whyNotCarried(const QString& value, const QString& what);

    // Every key by its lower-case name, braced values without their braces (blanks before a
    // "{" are skipped), other values exactly as written; the first of a repeated key counts.
    static QHash<QString, QString> parse(const QString& text);
    // The value of `key` (not case-sensitive) as parse() reads it; empty when absent.
    static QString value(const QString& connectionString, const QString& key);
};

} // namespace glimora::data
