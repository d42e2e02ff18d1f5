#pragma once

#include <QtGlobal>

namespace glimora::platform {

// Starts writing a range of an open file to the disk without waiting, so that the disk works
// while the caller goes on; errors show at the fsync that ends the job. Does nothing where
// the system has no such call.
void startFileFlush(int descriptor, qint64 offset, qint64 size);

} // namespace glimora::platform
