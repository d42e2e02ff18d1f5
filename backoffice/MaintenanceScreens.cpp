#include "backoffice/MaintenanceScreens.h"

#include "backoffice/JobStarter.h"
#include "maintenance/ConfigDialog.h"
#include "maintenance/DataManageDialog.h"
#include "maintenance/UserManageDialog.h"

namespace glimora::backoffice {

std::unique_ptr<QDialog> DefaultMaintenanceScreens::configDialog()
{
    return std::make_unique<maintenance::ConfigDialog>();
}

std::unique_ptr<QDialog> DefaultMaintenanceScreens::userManageDialog()
{
    return std::make_unique<maintenance::UserManageDialog>();
}

std::unique_ptr<QDialog> DefaultMaintenanceScreens::dataManageDialog()
{
    auto dialog = std::make_unique<maintenance::DataManageDialog>();
    dialog->setExportRunner(&JobStarter::runExport);
    return dialog;
}

// Data entry is data management opened on a new record.
std::unique_ptr<QDialog> DefaultMaintenanceScreens::dataEntryDialog()
{
    return std::make_unique<maintenance::DataManageDialog>(
        nullptr, maintenance::DataManageDialog::Opening::NewRecord);
}

} // namespace glimora::backoffice
