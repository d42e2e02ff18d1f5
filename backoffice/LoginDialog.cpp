#include "backoffice/LoginDialog.h"

#include "backoffice/LoginConnection.h"
#include "backoffice/RecentUsers.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "platform/ComputerName.h"
#include "platform/EventLog.h"
#include "platform/HtmlHelp.h"
#include "settings/AsciiBlanks.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"
#include "ui/WaitCursor.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace glimora::backoffice {

namespace {

constexpr int ServerBox = 1000;
constexpr int UserBox = 1001;
constexpr int PasswordBox = 1002;
constexpr int BackOfficeCheck = 1128;
constexpr int LoginButton = 1;
constexpr int CancelButton = 2;
constexpr int HelpButton = 140;
constexpr quintptr LoginHelpContext = 0x20065;

const QString system = QStringLiteral("system");

} // namespace

LoginDialog::LoginDialog(QWidget* parent)
    : TemplateDialog(129, parent)
{
    data::SharedDatabase::createObjects();
    onClicked(LoginButton, &LoginDialog::OnLogin);
    onClicked(HelpButton, &LoginDialog::OnHelp);
    enableEnterAsTab({ LoginButton });
    OnInitDialog();
}

void LoginDialog::OnInitDialog()
{
    const struct
    {
        int id;
        const char* caption;
    } buttons[] = { { LoginButton, "登入" }, { CancelButton, "取消" }, { HelpButton, "帮助" } };
    for (const auto& button : buttons) {
        ui::SkinButton* skinButton = this->skinButton(button.id);
        skinButton->setCaption(QString::fromUtf8(button.caption));
        skinButton->setBitmapId(162);
        skinButton->setCaptionFont(4);
    }
    // 1003 has no owner-draw style, so it stays an ordinary push button whatever its skin.
    if (ui::SkinButton* reset = skinButton(1003)) {
        reset->setBitmapId(178);
        reset->setCaptionFont(4);
    }
    setColors(ui::SkinnedDialogColors::pattern(171));
    for (int id : { 1164, 1165, 1166, BackOfficeCheck })
        control(id)->setFont(ui::sharedFont(4));
    for (int id : { ServerBox, UserBox, PasswordBox })
        control(id)->setFont(ui::sharedFont(5));

    auto* serverBox = control<ui::DropDownCombo>(ServerBox);
    serverBox->clear();
    QString server = settings::ReadSetting(system, QStringLiteral("sqlserver"), QString());
    data::SharedDatabase::login().computerName = platform::computerName();
    if (server.isEmpty())
        server = data::SharedDatabase::login().computerName;
    serverBox->setCurrentIndex(serverBox->addString(server));

    auto* userBox = control<ui::DropDownCombo>(UserBox);
    userBox->clear();
    for (int n = 1; n <= 3; ++n)
        userBox->insertString(
            n - 1, settings::ReadSetting(system, QStringLiteral("user%1").arg(n), QString()));
    userBox->setCurrentIndex(0);
}

void LoginDialog::chooseBackOfficeWithOneTry()
{
    control<QCheckBox>(BackOfficeCheck)->setChecked(true);
    m_oneTry = true;
}

void LoginDialog::OnLogin()
{
    m_backOffice = control<QCheckBox>(BackOfficeCheck)->isChecked();

    data::LoginValues& login = data::SharedDatabase::login();
    login.serverName
        = settings::withoutTrailingAsciiBlanks(control<QComboBox>(ServerBox)->currentText()).toUpper();
    login.userName = settings::withoutTrailingAsciiBlanks(control<QComboBox>(UserBox)->currentText());
    login.password = settings::withoutTrailingAsciiBlanks(control<QLineEdit>(PasswordBox)->text());
    login.databaseName = settings::Settings::instance().database;

    if (login.serverName.isEmpty()) {
        ui::OkMessageBox::show(this, QString::fromUtf8("服务器不应为空,请重新输入"));
        return;
    }
    if (login.userName.isEmpty()) {
        ui::OkMessageBox::show(this, QString::fromUtf8("用户名不应为空,请重新输入"));
        return;
    }

    {
        ui::WaitCursor wait;
        try {
            LoginConnection::open(login);
        } catch (const data::DbError& error) {
            platform::EventLog::write(platform::EventLog::Event::LoginRefused,
                LoginConnection::logName(login, m_backOffice) + QStringLiteral(": ") + error.description(),
                error.nativeError());
            wait.release();
            ui::OkMessageBox::show(this, QString::fromUtf8("登录失败。密码错误/服务器不可用。"));
            if (m_oneTry)
                endDialog(ui::IDCANCEL);
            return;
        }
        platform::EventLog::write(
            platform::EventLog::Event::Login, LoginConnection::logName(login, m_backOffice));
        settings::WriteSetting(system, QStringLiteral("sqlserver"), login.serverName);
        RecentUsers::remember(login.userName);
    }
    LoginConnection::createDatabaseIfNew();
    endDialog(ui::IDOK);
}

void LoginDialog::OnHelp()
{
    platform::HtmlHelpA(0, "help.chm", platform::HH_HELP_CONTEXT, LoginHelpContext);
}

} // namespace glimora::backoffice
