#pragma once

#include "ui/TemplateDialog.h"

#include <QStringList>

class QTreeWidgetItem;

namespace glimora::maintenance {

// Back-office users and their rights. Each user is a server login with a user of the same
// name in the database, and a row of username holding acc1..acc15. Whether the
// confirmation box is enabled tells the two modes apart: a new user is being entered, or
// the selected user is kept or renamed and its rights written.
class UserManageDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit UserManageDialog(QWidget* parent = nullptr);

    bool isEnteringNewUser() const;
    // The tree item of a listed user, or nullptr; the root for "所有用户".
    QTreeWidgetItem* userItem(const QString& name) const;

private:
    void OnInitDialog();
    void loadUserList();
    void OnTreeClicked(const QPoint& point);
    void OnNew();
    void OnDelete();
    void OnSave();
    void OnExit();

    void saveNewUser(
        const QString& name, const QString& password, const QString& confirmation, const QStringList& rights);
    void saveExistingUser(const QString& selection, const QString& name, const QStringList& rights);
    bool showRightsOf(const QString& name);
    void clearRights();
    QStringList checkedRights() const;
    void setNewUserMode(bool entering);
    // Whether `name` is refused as a user to delete, rename away or create, with a message.
    bool refusesName(const QString& name);
    bool refusesNewName(const QString& name);
    // Whether `name` is refused as logged in somewhere, with a message; `failure` when that
    // cannot be told. The server refuses to drop such a login only after its roles and its
    // database user are gone.
    bool refusesLoggedInUser(const QString& name, const QString& failure);
    // Raises when the server's sessions cannot be read.
    static bool isLoggedIn(const QString& name);
    // After a failed drop: whether the login is gone now (or was never there).
    static bool loginIsGone(const QString& name);
    // Sends a batch whose rows, if any, are not read.
    static void run(const QString& statement);
    // Creates the login of a back-office user; raises the first failure.
    static void addLogin(const QString& name, const QString& password, const QString& database);

    // The user whose name and rights a click put on the screen: what Save keeps or renames.
    // The tree's selection may have moved on by keyboard without loading anyone.
    QString m_shownUser;
};

} // namespace glimora::maintenance
