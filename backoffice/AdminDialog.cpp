#include "backoffice/AdminDialog.h"

namespace glimora::backoffice {

AdminDialog::AdminDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("adminDialog"));
}

} // namespace glimora::backoffice
