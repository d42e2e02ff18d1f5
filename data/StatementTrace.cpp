#include "data/StatementTrace.h"

#include "settings/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace glimora::data {

namespace {

QMutex& traceMutex()
{
    static QMutex mutex;
    return mutex;
}

void append(const QString& outcome, const QString& statement, qint64 microseconds)
{
    const QString path = StatementTrace::filePath();
    if (path.isEmpty())
        return;
    QString text = statement;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char('\t')
        + QString::asprintf("%.3f ms", double(microseconds) / 1000.0) + QLatin1Char('\t') + outcome
        + QLatin1Char('\t') + text + QLatin1Char('\n');
    QMutexLocker lock(&traceMutex());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line.toUtf8());
}

} // namespace

QString StatementTrace::filePath()
{
    const QString path
        = app::ReadSetting(QStringLiteral("system"), QStringLiteral("trace"), QString()).trimmed();
    if (path.isEmpty())
        return QString();
    return QDir(app::settingsDirectory()).absoluteFilePath(path);
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
