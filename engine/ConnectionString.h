#pragma once

#include <QHash>
#include <QString>

namespace glimora::engine {

// The keys of an ODBC connection string, by lower-case name: "Driver={SQL Server};Server=x;..."
// Values in braces may hold semicolons.
class ConnectionString
{
public:
    static QHash<QString, QString> parse(const QString& text);
};

} // namespace glimora::engine
