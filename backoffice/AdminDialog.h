#pragma once

#include "ui/TemplateDialog.h"

namespace glimora::backoffice {

// The back-office menu.
class AdminDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit AdminDialog(QWidget* parent = nullptr);
};

} // namespace glimora::backoffice
