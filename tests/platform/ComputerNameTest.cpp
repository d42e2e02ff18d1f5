#include "platform/ComputerName.h"

#include <gtest/gtest.h>
#include <QSysInfo>

using namespace glimora::platform;

TEST(ComputerNameTest, IsTheHostName)
{
    const QString name = computerName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_EQ(name, QSysInfo::machineHostName());
}
