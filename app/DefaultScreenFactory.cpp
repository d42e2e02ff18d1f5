#include "app/DefaultScreenFactory.h"

#include "backoffice/AdminDialog.h"
#include "backoffice/LoginDialog.h"
#include "query/QueryDialog.h"

namespace glimora::app {

std::unique_ptr<QDialog> DefaultScreenFactory::createLoginDialog()
{
    return std::make_unique<backoffice::LoginDialog>();
}

bool DefaultScreenFactory::backOfficeChosen(const QDialog& login) const
{
    return static_cast<const backoffice::LoginDialog&>(login).backOfficeChosen();
}

std::unique_ptr<QDialog> DefaultScreenFactory::createAdminDialog()
{
    return std::make_unique<backoffice::AdminDialog>();
}

std::unique_ptr<QDialog> DefaultScreenFactory::createQueryDialog()
{
    return std::make_unique<query::QueryDialog>();
}

std::unique_ptr<QDialog> DefaultScreenFactory::createLockedQueryDialog()
{
    auto screen = std::make_unique<query::QueryDialog>();
    screen->lockIn();
    return screen;
}

std::unique_ptr<QDialog> DefaultScreenFactory::createBackOfficeLoginDialog()
{
    auto login = std::make_unique<backoffice::LoginDialog>();
    login->chooseBackOfficeWithOneTry();
    return login;
}

} // namespace glimora::app
