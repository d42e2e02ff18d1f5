#include "maintenance/WheelScroll.h"

#include "components/CDataGrid.h"
#include "data/DbError.h"
#include "data/ErrorHints.h"
#include "data/Recordset.h"
#include "ui/OkMessageBox.h"

#include <QWheelEvent>

namespace glimora::maintenance {

bool moveRecordByWheel(
    QWidget* owner, data::Recordset& recordset, components::CDataGrid& grid, const QWheelEvent& event)
{
    const int distance = event.angleDelta().y();
    try {
        if (recordset.isNull() || recordset.State() == data::Recordset::StateClosed
            || (recordset.BOF() && recordset.EndOfFile()))
            return true;
        if (distance > 0 && !recordset.BOF())
            recordset.MovePrevious();
        else if (distance < 0 && !recordset.EndOfFile())
            recordset.MoveNext();
    } catch (const data::DbError& error) {
        ui::OkMessageBox::show(owner, data::ErrorHints::text(error), error.nativeError());
        return true;
    }
    grid.Refresh();
    return true;
}

} // namespace glimora::maintenance
