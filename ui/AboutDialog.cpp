#include "ui/AboutDialog.h"

namespace glimora::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : TemplateDialog(100, parent)
{
}

} // namespace glimora::ui
