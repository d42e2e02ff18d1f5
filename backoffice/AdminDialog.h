#pragma once

#include "backoffice/JobProgress.h"
#include "backoffice/MaintenanceScreens.h"
#include "ui/TemplateDialog.h"

#include <array>
#include <memory>
#include <optional>

namespace glimora::backoffice {

// The back-office menu: reconnects to the station's database, enables the functions that
// the user's rights allow, and runs each function from its button.
class AdminDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit AdminDialog(QWidget* parent = nullptr);
    explicit AdminDialog(std::unique_ptr<MaintenanceScreens> screens, QWidget* parent = nullptr);

    // False when opening failed: the person has been told, and exec() returns at once.
    bool isOpen() const { return m_open; }
    int exec() override;

    // acc1..acc10 as read (all 0 for "sa", who is not looked up).
    int right(int number) const { return m_acc.at(number - 1); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool OnInitDialog();
    bool reconnect();
    bool readRights();
    void loadCaptions();

    void OnConfig();
    void OnImport();
    void OnBackup();
    void OnRestore();
    void OnUndo();
    void OnSearchIndex();
    // A failed restore leaves the menu without its database; it reconnects or ends.
    void afterRestore(std::optional<JobOutcome> outcome);
    void OnUserManage();
    void OnDataEntry();
    void OnDataManage();
    void OnPassword();
    void OnStatus();
    void OnLeave();
    void runWhileHidden(std::unique_ptr<QDialog> dialog);
    void runOver(std::unique_ptr<QDialog> dialog);

    std::unique_ptr<MaintenanceScreens> m_screens;
    std::array<int, 10> m_acc {};
    bool m_open = false;
};

} // namespace glimora::backoffice
