#include "data/ConnectionString.h"

#include "data/DbError.h"

namespace glimora::data {

QString ConnectionString::builtInTemplate()
{
    return QStringLiteral("Driver={SQL Server};Server=??;Database=?;Uid=????;pwd=???");
}

QString ConnectionString::fromTemplate(const QString& templateText, const QString& userName,
    const QString& password, const QString& serverName, const QString& databasePart)
{
    const QString text = templateText.isEmpty() ? builtInTemplate() : templateText;
    // Quoted only where used: a template without a placeholder takes nothing from the login.
    const auto user = [&] { return quoteValue(userName, QStringLiteral("The user name")); };
    const auto pass = [&] { return quoteValue(password, QStringLiteral("The password")); };
    const auto server = [&] { return quoteValue(serverName, QStringLiteral("The server name")); };
    const auto database = [&] { return quoteValue(databasePart, QStringLiteral("The database name")); };

    QString result;
    qsizetype position = 0;
    while (position < text.size()) {
        if (text[position] != QLatin1Char('?')) {
            result.append(text[position++]);
            continue;
        }
        qsizetype run = 0;
        while (position + run < text.size() && text[position + run] == QLatin1Char('?'))
            ++run;
        position += run;
        for (; run >= 4; run -= 4)
            result.append(user());
        if (run == 3)
            result.append(pass());
        else if (run == 2)
            result.append(server());
        else if (run == 1)
            result.append(database());
    }
    return result;
}

QString ConnectionString::forDataControl(
    const QString& serverName, const QString& databaseName, const QString& userName, const QString& password)
{
    return QStringLiteral("Driver={SQL Server};Server=")
        + quoteValue(serverName, QStringLiteral("The server name")) + QStringLiteral(";database=")
        + quoteValue(databaseName, QStringLiteral("The database name")) + QStringLiteral(";Uid=")
        + quoteValue(userName, QStringLiteral("The user name")) + QStringLiteral(";pwd=")
        + quoteValue(password, QStringLiteral("The password"));
}

QString ConnectionString::quoteValue(const QString& value, const QString& what)
{
    const bool needsBraces = value.contains(QLatin1Char(';')) || value.startsWith(QLatin1Char('{'));
    if (!needsBraces)
        return value;
    if (value.contains(QLatin1Char('}')))
        throw DbError(DbError::InvalidArgument,
            QStringLiteral("%1 cannot be put into a connection string: it holds \"}\" together with "
                           "\";\" or a leading \"{\", which the ODBC driver does not read back as typed.")
                .arg(what));
    return QLatin1Char('{') + value + QLatin1Char('}');
}

QString ConnectionString::whyNotCarried(const QString& value, const QString& what)
{
    try {
        quoteValue(value, what);
    } catch (const DbError& error) {
        return error.description();
    }
    return {};
}

QHash<QString, QString> ConnectionString::parse(const QString& text)
{
    QHash<QString, QString> keys;
    qsizetype position = 0;
    while (position < text.size()) {
        const qsizetype equals = text.indexOf(QLatin1Char('='), position);
        if (equals < 0)
            break;
        const QString name = text.mid(position, equals - position).trimmed().toLower();
        qsizetype valueStart = equals + 1;
        while (valueStart < text.size() && text[valueStart] == QLatin1Char(' '))
            ++valueStart;
        QString value;
        qsizetype next;
        if (valueStart < text.size() && text[valueStart] == QLatin1Char('{')) {
            qsizetype close = valueStart + 1;
            while (close < text.size()) {
                if (text[close] == QLatin1Char('}')) {
                    if (close + 1 < text.size() && text[close + 1] == QLatin1Char('}')) {
                        value.append(QLatin1Char('}'));
                        close += 2;
                        continue;
                    }
                    break;
                }
                value.append(text[close++]);
            }
            next = text.indexOf(QLatin1Char(';'), close);
        } else {
            // Kept as written: a password may begin or end with blanks.
            next = text.indexOf(QLatin1Char(';'), equals + 1);
            value = text.mid(equals + 1, (next < 0 ? text.size() : next) - equals - 1);
        }
        // As ODBC drivers do, the first of a repeated key counts.
        if (!name.isEmpty() && !keys.contains(name))
            keys.insert(name, value);
        if (next < 0)
            break;
        position = next + 1;
    }
    return keys;
}

QString ConnectionString::value(const QString& connectionString, const QString& key)
{
    return parse(connectionString).value(key.toLower());
}

} // namespace glimora::data
