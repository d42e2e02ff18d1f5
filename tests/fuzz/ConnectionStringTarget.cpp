#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "tests/fuzz/FuzzTargets.h"

#include <QStringList>

namespace glimora::fuzz {

namespace {

// What the embedded server reads from a connection string must be what was typed.
void checkReadBack(const QString& text, const QString& key, const QString& typed)
{
    const QHash<QString, QString> keys = data::ConnectionString::parse(text);
    fuzzCheck(keys.value(key) == typed, "the server reads the typed value",
        qPrintable(key + QStringLiteral(": [") + typed + QStringLiteral("] in ") + text));
}

} // namespace

// Bytes: four values (user, password, server, database) and a template, separated by NUL.
int connectionString(const uint8_t* data, size_t size)
{
    if (size > 16 * 1024)
        return 0;
    const QStringList parts
        = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split(QChar(u'\0'));
    const QString user = parts.value(0);
    const QString password = parts.value(1);
    const QString server = parts.value(2);
    const QString database = parts.value(3);
    const QString templateText = parts.value(4);

    // Arbitrary text is read without fault.
    for (const QString& part : parts) {
        data::ConnectionString::parse(part);
        data::ConnectionString::value(part, QStringLiteral("pwd"));
    }

    try {
        const QString built
            = data::ConnectionString::fromTemplate(QString(), user, password, server, database);
        checkReadBack(built, QStringLiteral("uid"), user);
        checkReadBack(built, QStringLiteral("pwd"), password);
        checkReadBack(built, QStringLiteral("server"), server);
        checkReadBack(built, QStringLiteral("database"), database);
        checkReadBack(built, QStringLiteral("driver"), QStringLiteral("SQL Server"));
    } catch (const data::DbError& error) {
        fuzzCheck(!error.description().isEmpty(), "a refused value says why");
    }
    try {
        const QString built = data::ConnectionString::forDataControl(server, database, user, password);
        checkReadBack(built, QStringLiteral("uid"), user);
        checkReadBack(built, QStringLiteral("pwd"), password);
        checkReadBack(built, QStringLiteral("database"), database);
    } catch (const data::DbError& error) {
        fuzzCheck(!error.description().isEmpty(), "a refused value says why");
    }
    // A configured template: only its placeholders take the typed values.
    try {
        data::ConnectionString::fromTemplate(templateText, user, password, server, database);
    } catch (const data::DbError&) {
    }
    return 0;
}

} // namespace glimora::fuzz
