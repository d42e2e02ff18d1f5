#include "components/HomeSiteRule.h"

#include <gtest/gtest.h>
#include <QUrl>

using glimora::components::HomeSiteRule;

namespace {

struct Case
{
    const char* home;
    const char* url;
    bool allowed;
};

class HomeSiteRuleTest : public ::testing::TestWithParam<Case>
{
};

} // namespace

TEST_P(HomeSiteRuleTest, AllowsOnlyTheHomePagesOwnSite)
{
    const Case& c = GetParam();
    EXPECT_EQ(HomeSiteRule(QUrl(QString::fromUtf8(c.home))).allows(QUrl(QString::fromUtf8(c.url))), c.allowed)
        << c.home << " -> " << c.url;
}

INSTANTIATE_TEST_SUITE_P(Cases, HomeSiteRuleTest,
    ::testing::Values(
        // A web home: its scheme, host and port, any path.
        Case { "http://lobby.example/first/flash.htm", "http://lobby.example/second.htm?a=1#b", true },
        Case { "http://lobby.example/first/flash.htm", "http://LOBBY.example:80/x", true },
        Case { "http://lobby.example/first/flash.htm", "https://lobby.example/first/flash.htm", false },
        Case { "http://lobby.example/first/flash.htm", "http://lobby.example:8080/", false },
        Case { "http://lobby.example/first/flash.htm", "http://www.lobby.example/", false },
        Case { "http://lobby.example/first/flash.htm", "http://lobby.example.evil.test/", false },
        Case { "http://lobby.example/first/flash.htm", "http://lobby.example@evil.test/", false },
        Case { "http://lobby.example/first/flash.htm", "file:///etc/passwd", false },
        Case { "http://lobby.example/first/flash.htm", "about:blank", false },
        Case { "http://lobby.example/first/flash.htm", "javascript:alert(1)", false },
        Case { "http://127.0.0.1:8080/first/flash.htm", "http://127.0.0.1:8080/a.htm", true },
        // A home page on disk: the files of its folder, and nothing that climbs out of it.
        Case { "file:///var/lib/glimora/lobby/first/flash.htm", "file:///var/lib/glimora/lobby/first/b/c.htm",
            true },
        Case { "file:///var/lib/glimora/lobby/first/flash.htm",
            "file:///var/lib/glimora/lobby/first/../uinfo.ini", false },
        Case { "file:///var/lib/glimora/lobby/first/flash.htm", "file:///var/lib/glimora/lobby/firstx/a.htm",
            false },
        Case { "file:///var/lib/glimora/lobby/first/flash.htm",
            "file://server/var/lib/glimora/lobby/first/a.htm", false },
        Case { "file:///var/lib/glimora/lobby/first/flash.htm", "http://lobby.example/", false },
        // No home page, or one that is no page: nothing at all.
        Case { "", "http://lobby.example/", false }, Case { "", "file:///first/flash.htm", false },
        Case { "ftp://lobby.example/first/flash.htm", "ftp://lobby.example/x", false }));
