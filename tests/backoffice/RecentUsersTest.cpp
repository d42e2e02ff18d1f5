#include "backoffice/RecentUsers.h"
#include "settings/SettingsFile.h"
#include "tests/support/TempWorkspace.h"

#include <gtest/gtest.h>

using glimora::backoffice::RecentUsers;
using glimora::settings::ReadSetting;

namespace {

struct Rotation
{
    const char* user;
    const char* expected[3];
    bool fileUntouched;
};

class RecentUsersTest : public ::testing::TestWithParam<Rotation>
{
protected:
    TempWorkspace workspace;
};

QString user(int n)
{
    return ReadSetting("system", QStringLiteral("user%1").arg(n), "<none>");
}

} // namespace

TEST_P(RecentUsersTest, RotatesTheThreeNames)
{
    const QByteArray original = "[system]\nuser1=ann\nuser2=bob\nuser3=cy\n";
    workspace.writeFile("uinfo.ini", original);
    glimora::settings::setSettingsDirectory(QString());
    RecentUsers::remember(QString::fromUtf8(GetParam().user));
    EXPECT_EQ(user(1), GetParam().expected[0]);
    EXPECT_EQ(user(2), GetParam().expected[1]);
    EXPECT_EQ(user(3), GetParam().expected[2]);
    if (GetParam().fileUntouched) {
        EXPECT_EQ(workspace.readFile("uinfo.ini"), original);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, RecentUsersTest,
    ::testing::Values(Rotation { "ann", { "ann", "bob", "cy" }, true },
        Rotation { "bob", { "bob", "ann", "cy" }, false }, Rotation { "cy", { "cy", "ann", "bob" }, false },
        Rotation { "dan", { "dan", "ann", "bob" }, false },
        Rotation { "ANN", { "ANN", "ann", "bob" }, false }),
    [](const ::testing::TestParamInfo<Rotation>& info) { return std::string("as_") + info.param.user; });

TEST(RecentUsersFirstRunTest, EmptyListGetsTheFirstNameAndEmptyEntries)
{
    TempWorkspace workspace;
    glimora::settings::setSettingsDirectory(QString());
    RecentUsers::remember("sa");
    EXPECT_EQ(workspace.readFile("uinfo.ini"), QByteArray("[system]\nuser1=sa\nuser2=\nuser3=\n"));
}
