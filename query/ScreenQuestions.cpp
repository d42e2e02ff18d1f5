#include "query/ScreenQuestions.h"

#include "data/Command.h"
#include "data/DbError.h"
#include "query/QueryStatements.h"
#include "settings/SettingsFile.h"

namespace glimora::query {

namespace {

data::Recordset execute(const data::Connection& connection, const QString& text)
{
    data::Command command = data::Command::create();
    command.SetActiveConnection(connection);
    command.SetCommandTimeout(0);
    command.SetCommandText(text);
    return command.Execute();
}

// The first level: the first catalogued column with a place in the order, as the screen reads it;
// none when the catalogue cannot be read, which leaves the filter lists to be asked.
QString firstLevel(const data::Connection& connection)
{
    try {
        for (data::Recordset rows = execute(connection, QueryStatements::catalogue()); !rows.EndOfFile();
             rows.MoveNext()) {
            const QString name = rows.Item(0).Value().toString();
            if (!rows.Item(3).Value().isNull() && QueryStatements::isColumnName(name))
                return name;
        }
    } catch (const data::DbError&) {
    }
    return QString();
}

} // namespace

bool ScreenQuestions::askedAfterJobs()
{
    return settings::ReadSettingInt(QStringLiteral("index"), QStringLiteral("questions"), QStringLiteral("0"))
        == 1;
}

bool ScreenQuestions::setAskedAfterJobs(bool on)
{
    return settings::WriteSetting(
        QStringLiteral("index"), QStringLiteral("questions"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

QString ScreenQuestions::filterColumn(int n)
{
    const QString column
        = settings::ReadSetting(QStringLiteral("comfil"), QStringLiteral("com%1").arg(n), QString());
    return QueryStatements::isColumnName(column) ? column : QString();
}

QStringList ScreenQuestions::of(const data::Connection& connection)
{
    QStringList columns;
    const QString level = firstLevel(connection);
    if (!level.isEmpty())
        columns.append(level);
    for (int n = 1; n <= FilterCount; ++n) {
        const QString column = filterColumn(n);
        if (!column.isEmpty() && !columns.contains(column))
            columns.append(column);
    }
    QStringList questions;
    for (const QString& column : columns)
        questions.append(QueryStatements::distinctValues(column));
    return questions;
}

void ScreenQuestions::ask(const data::Connection& connection, const std::function<void(int, int)>& progress)
{
    const QStringList questions = of(connection);
    for (qsizetype n = 0; n < questions.size(); ++n) {
        try {
            execute(connection, questions[n]);
        } catch (const data::DbError&) {
        }
        if (progress)
            progress(int(n + 1), int(questions.size()));
    }
}

} // namespace glimora::query
