#pragma once

#include <QString>

namespace glimora::ui {

// The application's title: the caption of every message box. Process-wide; start-up
// may set another one before the first screen opens.
QString applicationTitle();
void setApplicationTitle(const QString& title);

} // namespace glimora::ui
