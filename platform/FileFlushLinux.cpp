#include "platform/FileFlush.h"

#include <fcntl.h>

namespace glimora::platform {

void startFileFlush(int descriptor, qint64 offset, qint64 size)
{
    ::sync_file_range(descriptor, offset, size, SYNC_FILE_RANGE_WRITE);
}

} // namespace glimora::platform
