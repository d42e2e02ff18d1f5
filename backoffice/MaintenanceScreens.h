#pragma once

#include <QDialog>

#include <memory>

namespace glimora::backoffice {

// Makes the maintenance dialogs that the back-office menu runs modally. A dialog that is
// not available comes back empty, and its button then does nothing.
class MaintenanceScreens
{
public:
    virtual ~MaintenanceScreens() = default;
    virtual std::unique_ptr<QDialog> configDialog() = 0; // "配置系统"
    virtual std::unique_ptr<QDialog> userManageDialog() = 0; // "用户管理"
    virtual std::unique_ptr<QDialog> dataManageDialog() = 0; // "数据管理"
    virtual std::unique_ptr<QDialog> dataEntryDialog() = 0; // "数据录入"
};

// The program's maintenance dialogs.
class DefaultMaintenanceScreens : public MaintenanceScreens
{
public:
    std::unique_ptr<QDialog> configDialog() override;
    std::unique_ptr<QDialog> userManageDialog() override;
    std::unique_ptr<QDialog> dataManageDialog() override;
    std::unique_ptr<QDialog> dataEntryDialog() override;
};

} // namespace glimora::backoffice
