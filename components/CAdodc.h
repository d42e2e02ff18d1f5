#pragma once

#include "data/Connection.h"
#include "data/Recordset.h"

#include <QString>
#include <QWidget>

namespace glimora::components {

// The data control: opens an updatable record set with its record source over a connection
// of its own. Screens set ConnectionString and RecordSource, call Refresh and take the
// Recordset to keep and to bind a grid to. It sits hidden on every template.
class CAdodc : public QWidget
{
    Q_OBJECT
public:
    explicit CAdodc(QWidget* parent = nullptr);

    QString ConnectionString() const { return m_connectionString; }
    void SetConnectionString(const QString& connectionString);
    QString RecordSource() const { return m_recordSource; }
    void SetRecordSource(const QString& recordSource);

    // Opens a new connection and a new record set; a failure raises DbError and leaves the
    // previous record set as it was. Record sets handed out earlier stay usable.
    void Refresh();
    // The record set of the last successful Refresh; unset before the first.
    data::Recordset Recordset() const { return m_recordset; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_connectionString;
    QString m_recordSource;
    data::Connection m_connection;
    data::Recordset m_recordset;
};

} // namespace glimora::components
