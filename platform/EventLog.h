#pragma once

#include <QString>

namespace glimora::platform {

// What the station did, for an administrator who asks why it went down: its starts and
// stops, logins, jobs, restores and every message shown to a person. Under systemd each
// event goes to the journal with fields of its own (GLIMORA_EVENT, GLIMORA_STATION,
// GLIMORA_ERROR); otherwise to glimora.log in the folder given, kept to a few files of
// 1 MiB. Nothing here ever fails the caller: a log that cannot be written is skipped.
class EventLog
{
public:
    enum class Event { Start, Stop, Login, LoginRefused, JobStart, JobEnd, MessageShown, Notice };

    // The folder of the file log (uinfo.ini's); empty writes no file.
    static void setFolder(const QString& folder);
    // The station's name in every entry; the computer's name until set.
    static void setStation(const QString& name);
    // Sends to the journal rather than the file: on by default when systemd started us.
    static void setUseJournal(bool on);

    static void write(Event event, const QString& text, int errorNumber = 0);

    // The messages shown to a person since the start, for the station's status: how many,
    // and the last one's error number (0 when it had none) and text.
    struct ShownErrors
    {
        int count = 0;
        int lastNumber = 0;
        QString lastText;
    };
    static ShownErrors shownErrors();

    static QString eventName(Event event);
    static QString fileName(); // the current file log, empty when none
    static constexpr qint64 MaxFileSize = 1024 * 1024;
    static constexpr int KeptFiles = 3; // glimora.log and glimora.log.1 .. .2
};

} // namespace glimora::platform
