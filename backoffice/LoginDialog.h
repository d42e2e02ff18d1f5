#pragma once

#include "ui/TemplateDialog.h"

namespace glimora::backoffice {

// The first screen of every run: a server, a login and its password, and whether to open
// the back office. A successful login remembers the server and recent users and makes
// sure the database and its tables exist.
class LoginDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit LoginDialog(QWidget* parent = nullptr);

    // Whether "后台" was ticked when the login was confirmed.
    bool backOfficeChosen() const { return m_backOffice; }
    // The kiosk's way to the back office: "后台" ticked, and a login the server refuses ends
    // the dialog (cancelled) once its message is read, so that nobody tries password after password.
    void chooseBackOfficeWithOneTry();

private:
    void OnInitDialog();
    void OnLogin();
    void OnHelp();

    bool m_backOffice = false;
    bool m_oneTry = false;
};

} // namespace glimora::backoffice
