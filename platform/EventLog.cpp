#include "platform/EventLog.h"

#include "platform/ComputerName.h"
#include "platform/EventJournal.h"

#include <optional>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace glimora::platform {

namespace {

struct LogState
{
    QMutex mutex;
    QString folder;
    QString station;
    std::optional<bool> useJournal;
    EventLog::ShownErrors shown;
};

LogState& state()
{
    static LogState instance;
    return instance;
}

QString logPath(const QString& folder, int generation)
{
    const QString name = QDir(folder).filePath(QStringLiteral("glimora.log"));
    return generation == 0 ? name : name + QLatin1Char('.') + QString::number(generation);
}

void rotateIfFull(const QString& folder)
{
    if (QFileInfo(logPath(folder, 0)).size() < EventLog::MaxFileSize)
        return;
    QFile::remove(logPath(folder, EventLog::KeptFiles - 1));
    for (int generation = EventLog::KeptFiles - 2; generation >= 0; --generation)
        QFile::rename(logPath(folder, generation), logPath(folder, generation + 1));
}

// One line per event, so that grep and tail read the file as they read a journal.
QByteArray lineOf(const QString& station, const QString& event, const QString& text, int errorNumber)
{
    QString flat = text;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" | "))
        .replace(QLatin1Char('\n'), QLatin1String(" | "));
    QString line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + station
        + QLatin1Char(' ') + event;
    if (errorNumber != 0)
        line += QLatin1String(" #") + QString::number(errorNumber);
    return (line + QLatin1String(": ") + flat + QLatin1Char('\n')).toUtf8();
}

bool isError(EventLog::Event event, int errorNumber)
{
    return errorNumber != 0 || event == EventLog::Event::LoginRefused;
}

} // namespace

void EventLog::setFolder(const QString& folder)
{
    QMutexLocker lock(&state().mutex);
    state().folder = folder;
}

void EventLog::setStation(const QString& name)
{
    QMutexLocker lock(&state().mutex);
    state().station = name;
}

void EventLog::setUseJournal(bool on)
{
    QMutexLocker lock(&state().mutex);
    state().useJournal = on;
}

QString EventLog::eventName(Event event)
{
    switch (event) {
    case Event::Start:
        return QStringLiteral("start");
    case Event::Stop:
        return QStringLiteral("stop");
    case Event::Login:
        return QStringLiteral("login");
    case Event::LoginRefused:
        return QStringLiteral("login-refused");
    case Event::JobStart:
        return QStringLiteral("job-start");
    case Event::JobEnd:
        return QStringLiteral("job-end");
    case Event::MessageShown:
        return QStringLiteral("message");
    case Event::Notice:
        return QStringLiteral("notice");
    }
    return QString();
}

EventLog::ShownErrors EventLog::shownErrors()
{
    QMutexLocker lock(&state().mutex);
    return state().shown;
}

QString EventLog::fileName()
{
    QMutexLocker lock(&state().mutex);
    return state().folder.isEmpty() ? QString() : logPath(state().folder, 0);
}

void EventLog::write(Event event, const QString& text, int errorNumber)
{
    QMutexLocker lock(&state().mutex);
    LogState& log = state();
    if (event == Event::MessageShown) {
        ++log.shown.count;
        log.shown.lastNumber = errorNumber;
        log.shown.lastText = text;
    }
    if (!log.useJournal)
        log.useJournal = startedBySystemd();
    const QString station = log.station.isEmpty() ? computerName() : log.station;
    if (*log.useJournal
        && sendToJournal(text, eventName(event), station, errorNumber, isError(event, errorNumber)))
        return;
    if (log.folder.isEmpty())
        return;
    rotateIfFull(log.folder);
    QFile file(logPath(log.folder, 0));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(lineOf(station, eventName(event), text, errorNumber));
}

} // namespace glimora::platform
