#include "data/StatementTrace.h"

#include "settings/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace glimora::data {

namespace {

QMutex& traceMutex()
{
    static QMutex mutex;
    return mutex;
}

// A statement that may carry a password is written as SQL Server's traces write it: the
// text replaced by a comment naming what was found.
QString traceableText(const QString& statement)
{
    static const char* const secretBearing[]
        = { "sp_password", "sp_addlogin", "sp_addapprole", "sp_setapprole", "password" };
    for (const char* term : secretBearing) {
        if (statement.contains(QLatin1String(term), Qt::CaseInsensitive))
            return QStringLiteral("-- '%1' was found in the text of this event. The text has been replaced "
                                  "with this comment for security reasons.")
                .arg(QLatin1String(term));
    }
    return statement;
}

void append(const QString& outcome, const QString& statement, qint64 microseconds)
{
    const QString path = StatementTrace::filePath();
    if (path.isEmpty())
        return;
    QString text = traceableText(statement);
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char('\t')
        + QString::asprintf("%.3f ms", double(microseconds) / 1000.0) + QLatin1Char('\t') + outcome
        + QLatin1Char('\t') + text + QLatin1Char('\n');
    QMutexLocker lock(&traceMutex());
    // A pipe would hold every statement until someone reads it, and end the station when
    // its reader goes: only a regular file, or a new one, is written.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return;
    QFile file(path);
    // A new trace is its administrator's alone: it holds the records that the statements name.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        file.write(line.toUtf8());
}

} // namespace

QString StatementTrace::filePath()
{
    const QString path
        = settings::ReadSetting(QStringLiteral("system"), QStringLiteral("trace"), QString()).trimmed();
    if (path.isEmpty())
        return QString();
    return QDir(settings::settingsDirectory()).absoluteFilePath(path);
}

void StatementTrace::sent(const QString& statement, qint64 microseconds, qint64 rows)
{
    append(
        rows >= 0 ? QStringLiteral("rows %1").arg(rows) : QStringLiteral("rows -"), statement, microseconds);
}

void StatementTrace::failed(const QString& statement, qint64 microseconds, long errorNumber)
{
    append(QStringLiteral("error %1").arg(errorNumber), statement, microseconds);
}

} // namespace glimora::data
