#pragma once

#include <memory>
#include <QDialog>

namespace glimora::app {

// Makes the screens that start-up runs, so that the order of screens can be tested
// with stand-ins and the program can use the real dialogs.
class ScreenFactory
{
public:
    virtual ~ScreenFactory() = default;
    virtual std::unique_ptr<QDialog> createLoginDialog() = 0;
    // Whether "后台" was ticked when the login was confirmed.
    virtual bool backOfficeChosen(const QDialog& login) const = 0;
    virtual std::unique_ptr<QDialog> createAdminDialog() = 0;
    virtual std::unique_ptr<QDialog> createQueryDialog() = 0;
    // A kiosk's: the visitor cannot leave it, and the administrator's login has "后台" ticked.
    virtual std::unique_ptr<QDialog> createLockedQueryDialog() { return createQueryDialog(); }
    virtual std::unique_ptr<QDialog> createBackOfficeLoginDialog() { return createLoginDialog(); }
};

} // namespace glimora::app
