#include <gtest/gtest.h>

#include "checks/robotstxt.h"

using checks::RobotsTxt;

namespace {

TEST(RobotsTxt, TheLongestMatchOfTheStarGroupsDecides)
{
    const struct
    {
        const char *behaviour;
        QByteArray file;
        QByteArray path;
        bool allowed;
    } cases[] = {
        {"no rule allows", "", "/a", true},
        {"a prefix disallows", "User-agent: *\nDisallow: /private\n", "/private/x", false},
        {"a prefix only from the start", "User-agent: *\nDisallow: /private\n", "/x/private", true},
        {"the longer allow wins", "User-agent: *\nDisallow: /a\nAllow: /a/b\n", "/a/b/c", true},
        {"the longer disallow wins", "User-agent: *\nAllow: /a\nDisallow: /a/b\n", "/a/b", false},
        {"allow wins a tie", "User-agent: *\nDisallow: /a\nAllow: /a\n", "/a", true},
        {"a star matches any run", "User-agent: *\nDisallow: /*.pdf\n", "/docs/x.pdf?v=1", false},
        {"a dollar ends the pattern", "User-agent: *\nDisallow: /*.pdf$\n", "/docs/x.pdf?v=1", true},
        {"a dollar at the end matches", "User-agent: *\nDisallow: /*.pdf$\n", "/x.pdf", false},
        {"the query is part of the path", "User-agent: *\nDisallow: /*?sort=\n", "/list?sort=up", false},
        {"an empty disallow is no rule", "User-agent: *\nDisallow:\n", "/a", true},
        {"another crawler's group does not apply", "User-agent: otherbot\nDisallow: /\n", "/a", true},
        {"several agent lines share a group", "User-agent: otherbot\nUser-agent: *\nDisallow: /\n", "/a", false},
        {"a rule line ends the agent lines", "User-agent: *\nDisallow: /x\nUser-agent: otherbot\nDisallow: /\n", "/a",
         true},
        {"star groups are merged",
         "User-agent: *\nDisallow: /a\n\nUser-agent: otherbot\nAllow: /\nUser-agent: *\nDisallow: /b\n", "/b", false},
        {"a rule before any agent belongs to none", "Disallow: /\nUser-agent: *\nAllow: /x\n", "/a", true},
        {"field names in any case, blanks around", "USER-AGENT : *\n  disALLOW  :  /a  \n", "/a/b", false},
        {"comments are dropped", "User-agent: * # all\nDisallow: /a # not /b\n", "/b", true},
        {"a byte-order mark before the first field", "\xEF\xBB\xBFUser-agent: *\nDisallow: /\n", "/a", false},
        {"CR LF ends", "User-agent: *\r\nDisallow: /a\r\nAllow: /a/b\r\n", "/a/b", true},
        {"CR ends", "User-agent: *\rDisallow: /a\r", "/a", false},
        {"an escape of an unreserved letter matches the letter", "User-agent: *\nDisallow: /%7Euser\n", "/~user/x",
         false},
        {"escapes compare in either case", "User-agent: *\nDisallow: /a%2fb\n", "/a%2Fb", false},
        {"an encoded slash is no slash", "User-agent: *\nDisallow: /a/b\n", "/a%2Fb", true},
        {"raw UTF-8 in a pattern matches its escapes", "User-agent: *\nDisallow: /caf\xC3\xA9\n", "/caf%C3%A9", false},
        {"robots.txt itself is always allowed", "User-agent: *\nDisallow: /\n", "/robots.txt", true},
        {"a hostile run of stars", "User-agent: *\nDisallow: /" + QByteArray(5000, '*') + "x$\n",
         "/" + QByteArray(2000, 'a'), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(RobotsTxt::parse(c.file).allows(c.path), c.allowed);
    }
    EXPECT_FALSE(RobotsTxt::disallowAll().allows("/a"));
    EXPECT_TRUE(RobotsTxt::disallowAll().allows("/robots.txt"));
}

TEST(RobotsTxt, SitemapLinesOfAnyGroupAreTakenWhenAbsolute)
{
    const RobotsTxt robots = RobotsTxt::parse("Sitemap: https://a.example/s1.xml\n"
                                              "User-agent: otherbot\nDisallow: /\n"
                                              "sitemap:http://a.example/s2.xml.gz # second\n"
                                              "Sitemap: /relative.xml\n"
                                              "Sitemap: ftp://a.example/s.xml\n"
                                              "Sitemap: https://a.example/s1.xml\n");
    EXPECT_EQ(robots.sitemaps(), (QList<QByteArray>{"https://a.example/s1.xml", "http://a.example/s2.xml.gz"}));
    EXPECT_EQ(robots.ruleCount(), 0);
}

TEST(RobotsTxt, OnlyTheFirst500KiBAreRead)
{
    QByteArray file = "User-agent: *\nDisallow: /early\n";
    file += QByteArray(RobotsTxt::maxBytes - file.size() - 10, '#') + "\n";
    file += "Disallow: /cut-line-that-passes-the-cap\nDisallow: /late\n";
    const RobotsTxt robots = RobotsTxt::parse(file);
    EXPECT_FALSE(robots.allows("/early"));
    EXPECT_TRUE(robots.allows("/cut-line-that-passes-the-cap"));
    EXPECT_TRUE(robots.allows("/late"));
    EXPECT_EQ(robots.ruleCount(), 1);
}

} // namespace
