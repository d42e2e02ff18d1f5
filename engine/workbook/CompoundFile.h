#pragma once

#include <QString>

namespace glimora::engine::CompoundFile {

// Whether the workbook stream of this compound file (.xls) begins with BOF and then
// FILEPASS, the mark of a workbook encrypted with a password to open.
bool declaresFilePass(const QString& path);

} // namespace glimora::engine::CompoundFile
