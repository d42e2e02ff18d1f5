#include "backoffice/MaintenanceScreens.h"

namespace glimora::backoffice {

// Each returns its dialog once the maintenance screens exist, for example:
//     return std::make_unique<maintenance::ConfigDialog>();

std::unique_ptr<QDialog> DefaultMaintenanceScreens::configDialog()
{
    return nullptr;
}

std::unique_ptr<QDialog> DefaultMaintenanceScreens::userManageDialog()
{
    return nullptr;
}

std::unique_ptr<QDialog> DefaultMaintenanceScreens::dataManageDialog()
{
    return nullptr;
}

std::unique_ptr<QDialog> DefaultMaintenanceScreens::dataEntryDialog()
{
    return nullptr;
}

} // namespace glimora::backoffice
