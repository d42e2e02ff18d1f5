#pragma once

#include <QDialog>

class QCheckBox;

namespace glimora::backoffice {

// The login: server, user and password, and whether to open the back office.
class LoginDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LoginDialog(QWidget* parent = nullptr);
    bool backOfficeChosen() const;

private:
    QCheckBox* m_backOffice;
};

} // namespace glimora::backoffice
