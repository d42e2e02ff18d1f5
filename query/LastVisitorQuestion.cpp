#include "query/LastVisitorQuestion.h"

#include <QMutex>
#include <QMutexLocker>

namespace glimora::query {

namespace {

QMutex mutex;
std::optional<QDateTime> last;

} // namespace

void LastVisitorQuestion::noteNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    QMutexLocker lock(&mutex);
    last = now;
}

std::optional<QDateTime> LastVisitorQuestion::at()
{
    QMutexLocker lock(&mutex);
    return last;
}

} // namespace glimora::query
