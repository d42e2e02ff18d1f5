#pragma once

#include <QtGlobal>

struct sqlite3;

namespace glimora::engine {

class ImageStreamWriter;

// SQLite on a window of an open file: the database whose image starts at `offset` of the
// descriptor. A backup writes its image straight into the device this way, and checks read
// it there, without a copy in memory. No journal, no locks: the file is the caller's alone.
class ImageFileVfs
{
public:
    // A connection on the image, `size` bytes long (-1: to the end of the file), or null; the
    // caller closes it with sqlite3_close.
    static sqlite3* open(int descriptor, qint64 offset, qint64 size, bool readOnly);
    // A connection that writes a new image through `writer`.
    static sqlite3* open(ImageStreamWriter& writer);

private:
    static sqlite3* open(
        int descriptor, qint64 offset, qint64 size, bool readOnly, ImageStreamWriter* writer);
};

} // namespace glimora::engine
