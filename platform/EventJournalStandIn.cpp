#include "platform/EventJournal.h"

namespace glimora::platform {

bool sendToJournal(const QString&, const QString&, const QString&, int, bool)
{
    return false;
}

bool startedBySystemd()
{
    return false;
}

} // namespace glimora::platform
