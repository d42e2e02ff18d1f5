#include "backoffice/StatusStatements.h"

#include "data/SqlLiteral.h"

#include <QStringList>

namespace glimora::backoffice {

namespace {

QString text(const QString& value, int length)
{
    return data::SqlLiteral::value(data::Variant::fromString(value.left(length)));
}

QString time(const std::optional<QDateTime>& value)
{
    return value && value->isValid() ? data::SqlLiteral::value(data::Variant::fromDateTime(*value))
                                     : QStringLiteral("null");
}

} // namespace

QString StatusStatements::createTable()
{
    return QStringLiteral("if object_id('station_status') is null create table station_status "
                          "(station nvarchar(64) not null primary key, version nvarchar(32) null, "
                          "started_at datetime null, beat_seconds int not null, last_beat datetime not null, "
                          "last_question datetime null, errors int not null, last_error_number int not null, "
                          "last_error_text nvarchar(1000) null, last_backup datetime null, "
                          "backup_problem nvarchar(1000) null)");
}

QString StatusStatements::beat(const StationBeat& beat)
{
    const QString name = text(beat.station, NameLength);
    const QStringList columns = { QStringLiteral("version"), QStringLiteral("started_at"),
        QStringLiteral("beat_seconds"), QStringLiteral("last_beat"), QStringLiteral("last_question"),
        QStringLiteral("errors"), QStringLiteral("last_error_number"), QStringLiteral("last_error_text"),
        QStringLiteral("last_backup"), QStringLiteral("backup_problem") };
    const QStringList values = { text(beat.version, 32), time(beat.startedAt),
        QString::number(beat.beatSeconds), QStringLiteral("getdate()"), time(beat.lastQuestion),
        QString::number(beat.errors), QString::number(beat.lastErrorNumber),
        text(beat.lastErrorText, TextLength), time(beat.lastBackup), text(beat.backupProblem, TextLength) };
    QStringList assignments;
    for (int i = 0; i < columns.size(); ++i)
        assignments.append(columns.at(i) + QLatin1Char('=') + values.at(i));
    return QStringLiteral("update station_status set ") + assignments.join(QStringLiteral(", "))
        + QStringLiteral(" where station=") + name
        + QStringLiteral(" if @@rowcount=0 insert into station_status (station, ")
        + columns.join(QStringLiteral(", ")) + QStringLiteral(") values (") + name + QStringLiteral(", ")
        + values.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString StatusStatements::stations()
{
    return QStringLiteral(
        "select station, version, started_at, beat_seconds, last_beat, last_question, errors, "
        "last_error_number, last_error_text, last_backup, backup_problem, getdate() "
        "from station_status order by station");
}

} // namespace glimora::backoffice
