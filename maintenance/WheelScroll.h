#pragma once

class QWheelEvent;
class QWidget;

namespace glimora::data {
class Recordset;
}

namespace glimora::components {
class CDataGrid;
}

namespace glimora::maintenance {

// The wheel over a record grid moves the current record by one, up or down, and shows it;
// a failure of the move is shown in a box over `owner`. Always takes the event.
bool moveRecordByWheel(
    QWidget* owner, data::Recordset& recordset, components::CDataGrid& grid, const QWheelEvent& event);

} // namespace glimora::maintenance
