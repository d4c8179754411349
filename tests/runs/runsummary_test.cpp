// The unattended summary: what a person reading cron mail can act on.

#include "runs/runsummary.h"

#include <gtest/gtest.h>

namespace {

TEST(RunSummary, NetworkErrorsReadInPlainWordsWithTheirNumber)
{
    const struct
    {
        const char *behaviour;
        QString failure;
        QString told;
    } cases[] = {
        {"code and text", "10061: [10061] Connection refused", "connection refused (10061)"},
        {"text alone", "[10054] Connection reset by peer", "connection reset by peer (10054)"},
        {"inside a cut-off answer", "answer cut off (10054: [10054] Connection reset by peer)",
         "answer cut off (connection reset by peer (10054))"},
        {"a status line stays", "HTTP/1.0 500 Internal Server Error", "HTTP/1.0 500 Internal Server Error"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EngineTally tally{"Alpha", true, 1};
        tally.failed = 1;
        tally.firstFailure = c.failure;
        const QString summary =
            RunSummary({tally}, {}, {"ann.example: 3 pages could not be checked (" + c.failure + ")"});
        EXPECT_TRUE(summary.endsWith("; first failure: " + c.told + "\n")) << summary.toStdString();
        EXPECT_TRUE(summary.startsWith("ann.example: 3 pages could not be checked (" + c.told + ")\n"))
            << summary.toStdString();
    }
}

TEST(RunSummary, PagesThatCouldNotBeCheckedAreCountedAndNeedLookingAt)
{
    EngineTally tally{"IndexNow", true};
    tally.notChecked = 803;
    EXPECT_TRUE(anyRequestFailed({tally}));
    EXPECT_TRUE(RunSummary({tally}, {}).contains("engine's limit, 803 could not be checked\n"));
}

} // namespace
