#include "backoffice/PasswordDialog.h"

#include "backoffice/PasswordStatements.h"
#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "settings/AsciiBlanks.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <QLineEdit>

namespace glimora::backoffice {

namespace {

constexpr int NewPasswordBox = 1002;
constexpr int RepeatBox = 1003;
constexpr int ChangeButton = 1;
constexpr int CancelButton = 2;
constexpr int Title = 1166;

} // namespace

PasswordDialog::PasswordDialog(QWidget* parent)
    : TemplateDialog(175, parent)
{
    onClicked(ChangeButton, &PasswordDialog::OnChange);
    enableEnterAsTab({ ChangeButton });
    OnInitDialog();
}

void PasswordDialog::OnInitDialog()
{
    for (const auto& [id, caption] :
        { std::pair { ChangeButton, "修改" }, std::pair { CancelButton, "取消" } }) {
        ui::SkinButton* button = skinButton(id);
        button->setCaption(QString::fromUtf8(caption));
        button->setBitmapId(162);
        button->setCaptionFont(4);
    }
    setColors(ui::SkinnedDialogColors::pattern(161));
    control(Title)->setFont(ui::sharedFont(2));
}

void PasswordDialog::OnChange()
{
    // ASCII blanks only, as the login trims them: a wide space is part of the password.
    const QString password = settings::withoutAsciiBlanks(control<QLineEdit>(NewPasswordBox)->text());
    const QString repeated = settings::withoutAsciiBlanks(control<QLineEdit>(RepeatBox)->text());
    if (password.isEmpty()) {
        ui::OkMessageBox::show(this, QString::fromUtf8("密码不能为空"));
        return;
    }
    if (password != repeated) {
        ui::OkMessageBox::show(this, QString::fromUtf8("两次输入不符"));
        return;
    }
    // The server would accept a password that no connection string can pass on: every later
    // login, and this run's reconnection for a restore, would then be refused.
    if (const QString why = data::ConnectionString::whyNotCarried(password, QStringLiteral("The password"));
        !why.isEmpty()) {
        ui::OkMessageBox::show(this, why);
        return;
    }
    data::LoginValues& login = data::SharedDatabase::login();
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(PasswordStatements::change(login.password, password, login.userName));
        command.Execute();
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("修改密码失败，请稍后再试 "));
        return;
    }
    // Later connections of this run (the restore's) and a second change need the new one.
    login.password = password;
    endDialog(ui::IDOK);
}

} // namespace glimora::backoffice
