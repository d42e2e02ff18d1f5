#pragma once

#include <QStringList>

namespace glimora::data {

// Keeps the texts that commands send and that record sets are opened with, in the order
// sent, while recording is on. Tests switch it on and compare the texts byte for byte.
// Safe to use from the worker thread of the long jobs.
class StatementRecorder
{
public:
    static void start(); // clears what was kept before
    static void stop();
    static bool isRecording();
    static QStringList statements();
    static void clear();

    // Called by Command::Execute and Recordset::Open.
    static void record(const QString& statement);
};

} // namespace glimora::data
