#include "data/StatementRecorder.h"

#include <QMutex>
#include <QMutexLocker>

namespace glimora::data {

namespace {

struct Recording
{
    QMutex mutex;
    bool on = false;
    QStringList statements;
};

Recording& recording()
{
    static Recording instance;
    return instance;
}

} // namespace

void StatementRecorder::start()
{
    QMutexLocker lock(&recording().mutex);
    recording().statements.clear();
    recording().on = true;
}

void StatementRecorder::stop()
{
    QMutexLocker lock(&recording().mutex);
    recording().on = false;
}

bool StatementRecorder::isRecording()
{
    QMutexLocker lock(&recording().mutex);
    return recording().on;
}

QStringList StatementRecorder::statements()
{
    QMutexLocker lock(&recording().mutex);
    return recording().statements;
}

void StatementRecorder::clear()
{
    QMutexLocker lock(&recording().mutex);
    recording().statements.clear();
}

void StatementRecorder::record(const QString& statement)
{
    QMutexLocker lock(&recording().mutex);
    if (recording().on)
        recording().statements.append(statement);
}

} // namespace glimora::data
