#include "app/AboutDialog.h"

namespace glimora::app {

AboutDialog::AboutDialog(QWidget* parent)
    : TemplateDialog(100, parent)
{
}

} // namespace glimora::app
