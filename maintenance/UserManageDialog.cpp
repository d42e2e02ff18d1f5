#include "maintenance/UserManageDialog.h"

#include "data/ConnectionString.h"
#include "data/DbError.h"
#include "data/SharedDatabase.h"
#include "data/ValueReaders.h"
#include "maintenance/UserManageStatements.h"
#include "settings/AsciiBlanks.h"
#include "ui/OkMessageBox.h"
#include "ui/SharedFonts.h"
#include "ui/SkinButton.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>

namespace glimora::maintenance {

namespace {

constexpr int TreeId = 1127;
constexpr int NameBox = 1002;
constexpr int PasswordBox = 1003;
constexpr int ConfirmationBox = 1004;
constexpr int FirstRightBox = 1128; // acc1; acc10 is 1137
constexpr int RightCount = 10;
constexpr int TitleId = 1167;
constexpr int NewButton = 1005;
constexpr int DeleteButton = 1006;
constexpr int SaveButton = 1007;
constexpr int ExitButton = 1008;

const QString& allUsers()
{
    static const QString text = QString::fromUtf8("所有用户");
    return text;
}

QString systemError()
{
    return QString::fromUtf8("系统异常，请稍后果再试");
}

// uname is varchar(20): a longer name would get its login but never its row.
constexpr int LongestName = 20;

bool fitsTheUserTable(const QString& name)
{
    return ui::SkinButton::gbkLength(name) <= LongestName;
}

} // namespace

UserManageDialog::UserManageDialog(QWidget* parent)
    : TemplateDialog(182, parent)
{
    onTreeClicked(TreeId, &UserManageDialog::OnTreeClicked);
    onClicked(NewButton, &UserManageDialog::OnNew);
    onClicked(DeleteButton, &UserManageDialog::OnDelete);
    onClicked(SaveButton, &UserManageDialog::OnSave);
    onClicked(ExitButton, &UserManageDialog::OnExit);
    enableEnterAsTab();
    OnInitDialog();
}

void UserManageDialog::OnInitDialog()
{
    setColors(ui::SkinnedDialogColors::pattern(161));
    const struct
    {
        int id;
        const char* caption;
    } buttons[]
        = { { NewButton, "新增" }, { DeleteButton, "删除" }, { SaveButton, "保存" }, { ExitButton, "退出" } };
    for (const auto& button : buttons) {
        ui::SkinButton* skinButton = this->skinButton(button.id);
        skinButton->setCaption(QString::fromUtf8(button.caption));
        skinButton->setBitmapId(162);
        skinButton->setCaptionFont(4);
    }
    control(TitleId)->setFont(ui::sharedFont(2));
    setNewUserMode(false);
    loadUserList();
}

bool UserManageDialog::isEnteringNewUser() const
{
    return control(ConfirmationBox)->isEnabled();
}

void UserManageDialog::setNewUserMode(bool entering)
{
    control(PasswordBox)->setEnabled(entering);
    control(ConfirmationBox)->setEnabled(entering);
}

QTreeWidgetItem* UserManageDialog::userItem(const QString& name) const
{
    auto* tree = control<QTreeWidget>(TreeId);
    if (tree->topLevelItemCount() == 0)
        return nullptr;
    QTreeWidgetItem* root = tree->topLevelItem(0);
    if (name == allUsers())
        return root;
    for (int i = 0; i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == name)
            return root->child(i);
    }
    return nullptr;
}

void UserManageDialog::run(const QString& statement)
{
    data::Command& command = data::SharedDatabase::command();
    command.SetCommandText(statement);
    command.Execute();
}

void UserManageDialog::addLogin(const QString& name, const QString& password, const QString& database)
{
    // A failing procedure does not end a batch: were the rest sent with the creation, a name
    // that is already a login would make that login an administrator with a new password.
    run(UserManageStatements::createLogin(name, database));
    run(UserManageStatements::completeLogin(name, password));
}

void UserManageDialog::loadUserList()
{
    auto* tree = control<QTreeWidget>(TreeId);
    QPalette palette = tree->palette();
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    tree->setPalette(palette);
    tree->clear();
    m_shownUser.clear();

    QStringList names;
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(UserManageStatements::listUsers());
        data::SharedDatabase::setRecordset(command.Execute());
        data::Recordset& rows = data::SharedDatabase::recordset();
        if (!(rows.BOF() && rows.EndOfFile())) {
            for (rows.MoveFirst(); !rows.EndOfFile(); rows.MoveNext())
                names << settings::withoutTrailingAsciiBlanks(data::ValueText(0));
        }
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("数据库异常，请稍后再试"));
        return;
    }
    auto* root = new QTreeWidgetItem(QStringList { allUsers() });
    tree->addTopLevelItem(root);
    if (names.isEmpty())
        return;
    for (const QString& name : names)
        root->addChild(new QTreeWidgetItem(QStringList { name }));
    root->setExpanded(true);
    setNewUserMode(false);
}

void UserManageDialog::OnTreeClicked(const QPoint& point)
{
    auto* tree = control<QTreeWidget>(TreeId);
    QTreeWidgetItem* item = tree->itemAt(point);
    if (!item)
        return;
    // The expand button sits left of the item's text.
    if (point.x() < tree->visualItemRect(item).left())
        return;
    tree->setCurrentItem(item);
    const QString text = item->text(0);
    m_shownUser.clear();
    if (text == allUsers()) {
        control<QLineEdit>(NameBox)->clear();
        clearRights();
    } else if (!text.isEmpty()) {
        control<QLineEdit>(NameBox)->setText(text);
        if (!showRightsOf(text))
            return;
        m_shownUser = text;
    }
    setNewUserMode(false);
}

bool UserManageDialog::showRightsOf(const QString& name)
{
    QList<double> rights;
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(UserManageStatements::rightsOf(name));
        data::SharedDatabase::setRecordset(command.Execute());
        data::Recordset& rows = data::SharedDatabase::recordset();
        // A user listed a moment ago may have lost its row since: it has no rights.
        if (!rows.EndOfFile()) {
            for (int i = 1; i <= RightCount; ++i)
                rights << data::ValueNumber(i);
        }
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("数据库异常，请稍后再试"));
        return false;
    }
    for (int i = 0; i < RightCount; ++i)
        control<QCheckBox>(FirstRightBox + i)->setChecked(i < rights.size() && rights[i] == 1);
    return true;
}

void UserManageDialog::clearRights()
{
    for (int i = 0; i < RightCount; ++i)
        control<QCheckBox>(FirstRightBox + i)->setChecked(false);
}

QStringList UserManageDialog::checkedRights() const
{
    QStringList rights;
    for (int i = 0; i < RightCount; ++i)
        rights << (control<QCheckBox>(FirstRightBox + i)->isChecked() ? QStringLiteral("1")
                                                                      : QStringLiteral("0"));
    return rights;
}

void UserManageDialog::OnNew()
{
    m_shownUser.clear();
    for (const int id : { NameBox, PasswordBox, ConfirmationBox })
        control<QLineEdit>(id)->clear();
    setNewUserMode(true);
    clearRights();
}

void UserManageDialog::OnDelete()
{
    const QString name = settings::withoutAsciiBlanks(control<QLineEdit>(NameBox)->text());
    const QString failure = QString::fromUtf8("数据库异常,请稍后再试");
    if (name.isEmpty() || refusesName(name) || refusesLoggedInUser(name, failure))
        return;
    // A user left half-removed (its login gone, its row kept) fails the batch every time, so
    // the batch failing counts as done once the login is gone; a name that is neither a
    // login nor a row is still reported.
    bool batchFailed = false;
    try {
        run(UserManageStatements::dropLogin(name));
    } catch (const data::DbError&) {
        if (!loginIsGone(name)) {
            ui::OkMessageBox::show(this, failure);
            return;
        }
        batchFailed = true;
    }
    long deleted = 0;
    try {
        data::Command& command = data::SharedDatabase::command();
        command.SetCommandText(UserManageStatements::deleteRights(name));
        command.Execute(&deleted);
    } catch (const data::DbError&) {
        deleted = -1;
    }
    if (batchFailed && deleted == 0) {
        ui::OkMessageBox::show(this, failure);
        return;
    }
    for (const int id : { NameBox, PasswordBox, ConfirmationBox })
        control<QLineEdit>(id)->clear();
    clearRights();
    loadUserList();
    setNewUserMode(false);
}

bool UserManageDialog::refusesName(const QString& name)
{
    // Dropping one's own login, or sa's, would lock the back office out half-way: the server
    // refuses the last step only after the roles and the database user are gone.
    const QString bare = settings::withoutAsciiBlanks(name);
    if (bare.compare(QLatin1String("sa"), Qt::CaseInsensitive) != 0
        && bare.compare(
               settings::withoutAsciiBlanks(data::SharedDatabase::login().userName), Qt::CaseInsensitive)
            != 0)
        return false;
    ui::OkMessageBox::show(this, QString::fromUtf8("此用户名不可用"));
    return true;
}

bool UserManageDialog::refusesLoggedInUser(const QString& name, const QString& failure)
{
    bool loggedIn = false;
    try {
        loggedIn = isLoggedIn(name);
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, failure);
        return true;
    }
    if (loggedIn)
        ui::OkMessageBox::show(this, QString::fromUtf8("该用户已在别处登录，请其退出后再试"));
    return loggedIn;
}

bool UserManageDialog::isLoggedIn(const QString& name)
{
    data::Command& command = data::SharedDatabase::command();
    command.SetCommandText(UserManageStatements::sessions());
    data::Recordset sessions = command.Execute();
    if (sessions.State() == data::Recordset::StateClosed)
        return false;
    // Logins compare as the server compares them: trailing blanks and letter case aside.
    const QString login = settings::withoutTrailingAsciiBlanks(name);
    for (; !sessions.EndOfFile(); sessions.MoveNext()) {
        const data::Variant value = sessions.Item(QStringLiteral("loginame")).Value();
        if (!value.isNull()
            && settings::withoutTrailingAsciiBlanks(value.toString()).compare(login, Qt::CaseInsensitive)
                == 0)
            return true;
    }
    return false;
}

bool UserManageDialog::loginIsGone(const QString& name)
{
    constexpr int NotALogin = 15007;
    try {
        run(UserManageStatements::dropLoginOnly(name));
        return true;
    } catch (const data::DbError& error) {
        return error.nativeError() == NotALogin;
    }
}

bool UserManageDialog::refusesNewName(const QString& name)
{
    if (!fitsTheUserTable(name)) {
        ui::OkMessageBox::show(this, QString::fromUtf8("此用户名不可用"));
        return true;
    }
    // A login that no connection string can carry could never sign in.
    const QString why = data::ConnectionString::whyNotCarried(name, QStringLiteral("The user name"));
    if (why.isEmpty())
        return false;
    ui::OkMessageBox::show(this, why);
    return true;
}

void UserManageDialog::OnSave()
{
    const QStringList rights = checkedRights();
    const QString name = control<QLineEdit>(NameBox)->text();
    // ASCII blanks only, as the login dialog trims them: a password ending in one could never
    // be typed in again. A wide space is part of the password.
    const QString password = settings::withoutAsciiBlanks(control<QLineEdit>(PasswordBox)->text());
    const QString confirmation = settings::withoutAsciiBlanks(control<QLineEdit>(ConfirmationBox)->text());
    if (isEnteringNewUser())
        saveNewUser(name, password, confirmation, rights);
    else
        saveExistingUser(m_shownUser.isEmpty() ? allUsers() : m_shownUser, name, rights);
}

void UserManageDialog::saveNewUser(
    const QString& name, const QString& password, const QString& confirmation, const QStringList& rights)
{
    if (name.isEmpty()) {
        ui::OkMessageBox::show(this, QString::fromUtf8("用户名不能为空"));
        return;
    }
    if (name == QLatin1String("sa") || name == QLatin1String("SA")) {
        ui::OkMessageBox::show(this, QString::fromUtf8("此用户名不可用"));
        return;
    }
    if (password != confirmation) {
        ui::OkMessageBox::show(this, QString::fromUtf8("两次输入不符，请重新输入密码"));
        return;
    }
    if (password.isEmpty()) {
        ui::OkMessageBox::show(this, QString::fromUtf8("密码不能为空"));
        return;
    }
    if (refusesNewName(name))
        return;
    if (const QString why = data::ConnectionString::whyNotCarried(password, QStringLiteral("The password"));
        !why.isEmpty()) {
        ui::OkMessageBox::show(this, why);
        return;
    }
    const QString database = data::SharedDatabase::login().databaseName;
    try {
        addLogin(name, password, database);
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, QString::fromUtf8("新增用户失败，请检查后重试"));
        return;
    }
    try {
        run(UserManageStatements::insertRights(name, rights));
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, systemError());
        return;
    }
    for (const int id : { NameBox, PasswordBox, ConfirmationBox })
        control<QLineEdit>(id)->clear();
    clearRights();
    loadUserList();
    setNewUserMode(false);
}

void UserManageDialog::saveExistingUser(
    const QString& selection, const QString& name, const QStringList& rights)
{
    if (selection != name) {
        if (selection == allUsers() || selection.isEmpty())
            return;
        if (name.isEmpty()) {
            ui::OkMessageBox::show(this, QString::fromUtf8("用户名不能为空"));
            return;
        }
        if (refusesName(selection) || refusesNewName(name) || refusesLoggedInUser(selection, systemError()))
            return;
        // Earlier steps stay done when a later one fails: the server has no transaction
        // around its login procedures. So the new login comes first, and a name that cannot
        // have one (taken by another login, say) leaves the old user as it was; only a change
        // of case must drop the old login first, the server taking both for one name.
        const QString database = data::SharedDatabase::login().databaseName;
        const auto withoutTrailingBlanks = [](QString text) {
            while (text.endsWith(QLatin1Char(' ')))
                text.chop(1);
            return text;
        };
        const bool sameLogin
            = withoutTrailingBlanks(selection).compare(withoutTrailingBlanks(name), Qt::CaseInsensitive) == 0;
        try {
            if (sameLogin)
                run(UserManageStatements::dropLoginForRename(selection));
            addLogin(name, QStringLiteral("286415"), database);
        } catch (const data::DbError&) {
            ui::OkMessageBox::show(this, systemError());
            return;
        }
        try {
            if (!sameLogin)
                run(UserManageStatements::dropLoginForRename(selection));
        } catch (const data::DbError&) {
            // The old login is left as the failure left it; the new one must not stay behind
            // as an administrator nobody sees in the list, with the fixed password.
            try {
                run(UserManageStatements::dropLoginForRename(name));
            } catch (const data::DbError&) {
            }
            ui::OkMessageBox::show(this, systemError());
            return;
        }
        try {
            run(UserManageStatements::renameRights(name, selection));
        } catch (const data::DbError&) {
            ui::OkMessageBox::show(this, systemError());
            return;
        }
    }
    try {
        run(UserManageStatements::updateRights(name, rights));
    } catch (const data::DbError&) {
        ui::OkMessageBox::show(this, systemError());
        return;
    }
    setNewUserMode(false);
    control<QLineEdit>(NameBox)->clear();
    loadUserList();
}

void UserManageDialog::OnExit()
{
    endDialog(ui::IDCANCEL);
}

} // namespace glimora::maintenance
