#include "engine/WorkbookRowset.h"

#include <stdexcept>

namespace glimora::engine {

RowsetTable WorkbookRowset::read(const QString& path, const QString&, bool)
{
    throw std::runtime_error(
        QStringLiteral("Cannot read the workbook '%1': this server was built without a workbook reader.")
            .arg(path)
            .toStdString());
}

} // namespace glimora::engine
