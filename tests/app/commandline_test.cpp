#include "app/commandline.h"

#include <gtest/gtest.h>

namespace {

StartupFlags parse(const QStringList &arguments)
{
    return ParseCommandLine(QStringList{QStringLiteral("/opt/Quill/QuillCast")} + arguments);
}

TEST(CommandLine, SwitchesMatchExactlyAndLetterCaseCounts)
{
    const StartupFlags flags = parse({"/run", "/RUN", "/Debug", "/test", "/exit", "/search"});
    EXPECT_TRUE(flags.RunFlag);
    EXPECT_FALSE(flags.DebugMode);
    EXPECT_TRUE(flags.TestMode);
    EXPECT_TRUE(flags.ExitFlag);
    EXPECT_TRUE(flags.SearchFlag);
    EXPECT_FALSE(flags.LoadFlag);
}

TEST(CommandLine, ParameterTextListsEveryArgumentLowerCased)
{
    const StartupFlags flags = parse({"/debug", "a", "B"});
    EXPECT_TRUE(flags.DebugMode);
    EXPECT_EQ(flags.ParameterText, QStringLiteral("/opt/quill/quillcast\n/debug\na\nb\n"));
}

TEST(CommandLine, UpperCaseLoadIsNotASwitchButIsListed)
{
    const StartupFlags flags = parse({"/LOAD", "x.qlc"});
    EXPECT_FALSE(flags.LoadFlag);
    EXPECT_EQ(flags.ParameterText, QStringLiteral("/opt/quill/quillcast\n/load\nx.qlc\n"));
}

TEST(CommandLine, LoadConsumesItsArgumentWhichIsNotListed)
{
    const StartupFlags flags = parse({"/load", "/run", "/exit"});
    EXPECT_TRUE(flags.LoadFlag);
    EXPECT_EQ(flags.LoadArgument, QStringLiteral("/run"));
    EXPECT_FALSE(flags.RunFlag);
    EXPECT_TRUE(flags.ExitFlag);
    EXPECT_EQ(flags.ParameterText, QStringLiteral("/opt/quill/quillcast\n/load\n/exit\n"));
}

TEST(CommandLine, LoadFollowedByUrllistTakesItAsProjectAndSetsTheUrlListFlag)
{
    const StartupFlags flags = parse({"/load", "/urllist"});
    EXPECT_TRUE(flags.LoadFlag);
    EXPECT_EQ(flags.LoadArgument, QStringLiteral("/urllist"));
    EXPECT_TRUE(flags.UrlListFlag);
    EXPECT_EQ(flags.UrlListArgument, QString());
}

TEST(CommandLine, SwitchAtTheEndTakesAnEmptyArgument)
{
    const StartupFlags load = parse({"/load"});
    EXPECT_TRUE(load.LoadFlag);
    EXPECT_EQ(load.LoadArgument, QString());
    const StartupFlags list = parse({"/urllist"});
    EXPECT_TRUE(list.UrlListFlag);
    EXPECT_EQ(list.UrlListArgument, QString());
}

TEST(CommandLine, TheUnattendedSequence)
{
    const StartupFlags flags = parse({"/load", "site.qlc", "/urllist", "urls.txt", "/run", "/exit"});
    EXPECT_TRUE(flags.LoadFlag && flags.UrlListFlag && flags.RunFlag && flags.ExitFlag);
    EXPECT_EQ(flags.LoadArgument, QStringLiteral("site.qlc"));
    EXPECT_EQ(flags.UrlListArgument, QStringLiteral("urls.txt"));
}

TEST(CommandLine, OtherArgumentsAreIgnored)
{
    const StartupFlags flags = parse({"--verbose", "site.qlc", "run"});
    EXPECT_FALSE(flags.LoadFlag || flags.RunFlag || flags.ExitFlag || flags.DebugMode || flags.TestMode);
}

} // namespace
