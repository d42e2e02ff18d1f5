#include "platform/EventJournal.h"

#include <syslog.h>
#include <systemd/sd-journal.h>

namespace glimora::platform {

bool sendToJournal(
    const QString& message, const QString& event, const QString& station, int errorNumber, bool isError)
{
    const QByteArray text = message.toUtf8();
    const QByteArray eventField = event.toUtf8();
    const QByteArray stationField = station.toUtf8();
    return sd_journal_send("MESSAGE=%s", text.constData(), "PRIORITY=%d", isError ? LOG_ERR : LOG_INFO,
               "SYSLOG_IDENTIFIER=glimora", "GLIMORA_EVENT=%s", eventField.constData(), "GLIMORA_STATION=%s",
               stationField.constData(), "GLIMORA_ERROR=%d", errorNumber, nullptr)
        == 0;
}

bool startedBySystemd()
{
    return qEnvironmentVariableIsSet("INVOCATION_ID") || qEnvironmentVariableIsSet("JOURNAL_STREAM");
}

} // namespace glimora::platform
