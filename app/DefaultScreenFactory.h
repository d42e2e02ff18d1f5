#pragma once

#include "app/ScreenFactory.h"

namespace glimora::app {

// The program's real screens.
class DefaultScreenFactory : public ScreenFactory
{
public:
    std::unique_ptr<QDialog> createLoginDialog() override;
    bool backOfficeChosen(const QDialog& login) const override;
    std::unique_ptr<QDialog> createAdminDialog() override;
    std::unique_ptr<QDialog> createQueryDialog() override;
    std::unique_ptr<QDialog> createLockedQueryDialog() override;
    std::unique_ptr<QDialog> createBackOfficeLoginDialog() override;
};

} // namespace glimora::app
