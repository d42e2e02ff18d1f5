#pragma once

#include <QDir>
#include <QString>

namespace glimora::tools {

// Renders the query screen with the data of the embedded server in the working directory,
// logged in as sa with `password`, in each of its states and at two screen sizes. Returns
// the number of pictures that could not be written, or -1 when the screen did not open.
int renderQueryScreens(const QDir& folder, const QString& password);

} // namespace glimora::tools
