#include "backoffice/AdminDialog.h"

namespace glimora::backoffice {

AdminDialog::AdminDialog(QWidget* parent)
    : TemplateDialog(130, parent)
{
}

} // namespace glimora::backoffice
