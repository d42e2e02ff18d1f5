#include "engine/rowset/WorkbookRowset.h"

#include <stdexcept>

namespace glimora::engine {

void WorkbookRowset::read(const QString& path, const QString&, bool, SheetCells&)
{
    throw std::runtime_error(
        QStringLiteral("Cannot read the workbook '%1': this server was built without a workbook reader.")
            .arg(path)
            .toStdString());
}

} // namespace glimora::engine
