// The outcome table: what each outcome does to the URL's flag, the engine's
// limit and tally, and whether the engine or the run goes on after it.

#include "runs/enginetally.h"
#include "runs/outcome.h"

#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace {

// The tally's columns that counted something, as "column=n" joined by blanks.
std::string counted(const EngineTally &t)
{
    std::string text;
    const std::pair<const char *, int> columns[] = {
        {"sent", t.sent},
        {"accepted", t.accepted},
        {"failed", t.failed},
        {"timedOut", t.timedOut},
        {"limited", t.limited},
        {"skipped", t.skipped},
        {"disabled", t.disabled},
        {"notListed", t.notListed},
        {"keyMissing", t.keyMissing},
        {"notIndexable", t.notIndexable},
        {"unchanged", t.unchanged},
        {"notChecked", t.notChecked},
        {"unsearchable", int(t.unsearchable)},
    };
    for (const auto &[name, count] : columns)
        if (count != 0)
            text += (text.empty() ? "" : " ") + std::string(name) + '=' + std::to_string(count);
    return text;
}

TEST(OutcomeTable, EveryOutcomeDecidesTheFlagTheLimitTheTallyAndWhatGoesOn)
{
    const QString moved = "the endpoint moved to http://new.example/; update the engine list";
    const struct
    {
        Outcome outcome;
        bool done;   // marks the URL done
        bool spends; // uses up the engine's limit
        const char *tally;
        QString firstFailure;
        const char *after; // "engine ends", "run ends" or ""
    } cases[] = {
        {Outcome::Accepted, true, true, "accepted=3", "", ""},
        {Outcome::Redirected, true, true, "accepted=3", "", ""},
        {Outcome::Failed, false, false, "failed=3", "why", ""},
        {Outcome::TimedOut, false, false, "timedOut=3", "", ""},
        {Outcome::SkippedUrl, false, false, "skipped=3", "", ""},
        {Outcome::SkippedEngine, false, false, "skipped=3", "", "engine ends"},
        {Outcome::Stopped, false, false, "skipped=3", "", "run ends"},
        {Outcome::Disabled, false, false, "disabled=3", "", ""},
        {Outcome::LimitReached, false, false, "limited=3", "", ""},
        {Outcome::UnknownMethod, false, false, "failed=3", "why", ""},
        {Outcome::KeyMissing, false, false, "keyMissing=3", "", ""},
        {Outcome::Moved, false, false, "failed=3", moved, ""},
        {Outcome::TooManyRequests, false, false, "failed=3", "why", "engine ends"},
        {Outcome::Listed, false, false, "accepted=3", "", ""},
        {Outcome::NotListed, false, false, "accepted=3 notListed=3", "", ""},
        {Outcome::Unsearchable, false, false, "unsearchable=1", "", "engine ends"},
        {Outcome::QuotaReached, false, false, "limited=3", "", "engine ends"},
        {Outcome::EngineUnusable, false, false, "failed=3", "why", "engine ends"},
        {Outcome::NotIndexable, false, false, "notIndexable=3", "", ""},
        {Outcome::UnchangedContent, true, false, "unchanged=3", "", ""},
        {Outcome::NotChecked, false, false, "notChecked=3", "", ""},
    };
    static_assert(std::size(cases) == OutcomeCount, "every outcome has its case");
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.outcome));
        RequestResult result(c.outcome);
        result.reason = "why";
        result.location = "http://new.example/";
        // An IndexNow request of three URLs: each URL counts.
        const OutcomeSubject subject{Telling::IndexNowBatch, "Engine", "a.example", "", {"1", "2", "3"}};
        EngineTally tally;
        countOutcome(tally, result, subject);
        EXPECT_EQ(counted(tally), c.tally);
        EXPECT_EQ(tally.firstFailure, c.firstFailure);
        result.reason = "a later reason";
        countOutcome(tally, result, subject);
        EXPECT_EQ(tally.firstFailure, c.firstFailure) << "the first failure is kept";

        EXPECT_EQ(flagEffect(c.outcome) == FlagEffect::MarkDone, c.done);
        EXPECT_EQ(countsTowardLimit(c.outcome), c.spends);
        EXPECT_EQ(isFailure(c.outcome), !c.firstFailure.isEmpty());
        EXPECT_EQ(endsEngine(c.outcome), std::string(c.after) == "engine ends");
        EXPECT_EQ(endsRun(c.outcome), std::string(c.after) == "run ends");
    }
}

TEST(OutcomeTable, AWebmasterCallForManyUrlsIsToldOnceWithItsEngineAndSite)
{
    const QStringList urls{"https://a.example/1", "https://a.example/2"};
    const struct
    {
        Outcome outcome;
        QString reason;
        QString detail;
        QString line;
        StatusKind kind;
    } cases[] = {
        {Outcome::Accepted, "", "Search Console took the sitemap https://a.example/s.xml",
         "Google: 2 URLs of sc-domain:a.example: accepted (Search Console took the sitemap https://a.example/s.xml)",
         StatusKind::Plain},
        {Outcome::QuotaReached, "tomorrow's quota (2000 inspections a day)", "",
         "Google: 2 URLs wait for tomorrow's quota (2000 inspections a day)", StatusKind::Plain},
        {Outcome::EngineUnusable, "key.json may be read by others", "",
         "Google: 2 URLs of sc-domain:a.example: key.json may be read by others", StatusKind::Failure},
    };
    for (const auto &c : cases) {
        RequestResult result(c.outcome);
        result.reason = c.reason;
        result.detail = c.detail;
        const OutcomeLines lines =
            describeOutcome(result, {Telling::ApiBatch, "Google", "sc-domain:a.example", QString(), urls});
        EXPECT_EQ(lines.statusLine, c.line);
        EXPECT_EQ(lines.kind, c.kind);
        EXPECT_TRUE(lines.reportRow.contains("<li><a href=\"https://a.example/2\" target=newbie>"))
            << lines.reportRow.toStdString();
        // The search report shows the call in the engine's section.
        EXPECT_EQ(lines.searchEntry, SearchEntry::EngineNotAsked);
        EXPECT_EQ("Google: " + lines.searchReason, c.line);
    }
}

TEST(OutcomeTable, APageTheCheckKeptBackIsToldWithWhy)
{
    const QString url = "https://a.example/<b>";
    const struct
    {
        Outcome outcome;
        QString reason;
        QString line;
        QString row;
    } cases[] = {
        {Outcome::NotIndexable, "noindex (meta robots)", "Not submitted, noindex (meta robots): " + url,
         "Not submitted: noindex (meta robots)"},
        {Outcome::UnchangedContent, "", "Not sent, unchanged content: " + url, "Not submitted: unchanged content"},
    };
    for (const auto &c : cases) {
        RequestResult result(c.outcome);
        result.reason = c.reason;
        const OutcomeLines lines = describeOutcome(result, {Telling::Submission, "IndexNow", url});
        EXPECT_EQ(lines.statusLine, c.line);
        EXPECT_EQ(lines.kind, StatusKind::Plain) << "no failure";
        EXPECT_TRUE(lines.reportRow.contains("https://a.example/&lt;b&gt;</a></td><td>" + c.row + "</td>"))
            << lines.reportRow.toStdString();
    }
}

} // namespace
