#pragma once

#include <optional>
#include <QDateTime>
#include <QString>

namespace glimora::backoffice {

// What a station tells of itself at each beat.
struct StationBeat
{
    QString station;
    QString version;
    QDateTime startedAt;
    int beatSeconds = 60;
    std::optional<QDateTime> lastQuestion;
    int errors = 0;
    int lastErrorNumber = 0;
    QString lastErrorText;
    std::optional<QDateTime> lastBackup;
    QString backupProblem;
};

// The statements of the stations' heartbeat table, beside `inquiry`. The beat's time is
// the server's, so that stations whose clocks differ are judged by one clock.
class StatusStatements
{
public:
    static constexpr int NameLength = 64;
    static constexpr int TextLength = 1000;

    static QString createTable();
    // One row per station: updated, or inserted when the station has none yet.
    static QString beat(const StationBeat& beat);
    // Every station, by name, with the server's time as the last column.
    static QString stations();
};

} // namespace glimora::backoffice
