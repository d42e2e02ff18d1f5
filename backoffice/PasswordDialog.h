#pragma once

#include "ui/TemplateDialog.h"

namespace glimora::backoffice {

// Changes the password of the login that opened the back office, on the server.
class PasswordDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget* parent = nullptr);

private:
    void OnInitDialog();
    void OnChange();
};

} // namespace glimora::backoffice
