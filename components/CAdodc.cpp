#include "components/CAdodc.h"

#include "data/DbError.h"

#include <QPainter>

namespace glimora::components {

CAdodc::CAdodc(QWidget* parent)
    : QWidget(parent)
{
}

void CAdodc::SetConnectionString(const QString& connectionString)
{
    m_connectionString = connectionString;
}

void CAdodc::SetRecordSource(const QString& recordSource)
{
    m_recordSource = recordSource;
}

void CAdodc::Refresh()
{
    if (m_recordSource.trimmed().isEmpty())
        throw data::DbError::invalidArgument(QStringLiteral("the data control has no record source"));
    data::Connection connection = data::Connection::create();
    connection.Open(m_connectionString);
    data::Recordset recordset = data::Recordset::create();
    recordset.Open(m_recordSource, connection);
    // The old connection lives on in the record sets that read from it.
    m_connection = connection;
    m_recordset = recordset;
}

void CAdodc::paintEvent(QPaintEvent*)
{
    // Shown only where a template leaves it visible: a plain bar, as the control looked.
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawText(rect(), Qt::AlignCenter, windowTitle());
}

} // namespace glimora::components
