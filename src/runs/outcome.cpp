#include "runs/outcome.h"

#include "runs/enginetally.h"
#include "runs/report.h"

#include <iterator>

namespace {

struct Context
{
    const RequestResult &result;
    const OutcomeSubject &subject;
    QString why; // the failure's reason, as the rule words it
};

using Text = QString (*)(const Context &);
using Column = int EngineTally::*;

enum class Ends { Nothing, Engine, Run };

QString none(const Context &)
{
    return {};
}

QString reason(const Context &c)
{
    return c.result.reason;
}

// A redirection the run takes nothing from: an IndexNow endpoint is to be updated, a search could not be asked.
QString moved(const Context &c)
{
    if (c.subject.telling == Telling::Search)
        return QStringLiteral("redirected to ") + c.result.location;
    return QStringLiteral("the endpoint moved to ") + c.result.location + QStringLiteral("; update the engine list");
}

QString failureLine(const Context &c)
{
    return QStringLiteral("Error accessing: ") + c.subject.engine + QStringLiteral(": ") + c.subject.url +
           QStringLiteral(" (") + c.why + QStringLiteral(")");
}

QString failureRow(const Context &c)
{
    return failureReportRow(c.subject.engine, c.subject.url, c.why, c.result.answerFile, c.result.answerCut);
}

QString timeoutLine(const Context &c)
{
    return QStringLiteral("Timeout: ") + c.subject.url;
}

QString skippedLine(const Context &c)
{
    return QStringLiteral("Skipped: ") + c.subject.url;
}

QString skippedEngineLine(const Context &c)
{
    return QStringLiteral("Skipped engine: ") + c.subject.engine;
}

QString stoppedLine(const Context &)
{
    return QStringLiteral("Submission project was stopped by the user");
}

QString unknownMethod(const Context &c)
{
    return QStringLiteral("the method \"") + c.subject.method + QStringLiteral("\" is neither post nor get");
}

QString acceptedBatch(const Context &c)
{
    return QStringLiteral("accepted (") + (c.result.detail.isEmpty() ? c.result.statusLine : c.result.detail) + u')';
}

QString why(const Context &c)
{
    return c.why;
}

QString tooManyBatch(const Context &c)
{
    return c.why + QStringLiteral("; no further request to %1 in this run, its URLs stay to be submitted")
                       .arg(c.subject.engine);
}

QString byUser(const Context &)
{
    return QStringLiteral("skipped by the user");
}

// An IndexNow request's line and row: what became of the URLs it carried.
template <Text what> QString batchLine(const Context &c)
{
    return QStringLiteral("IndexNow: %1 URLs of %2: %3").arg(c.subject.urls.size()).arg(c.subject.url, what(c));
}

template <Text what> QString batchRow(const Context &c)
{
    return indexNowReportRow(c.subject.urls, c.subject.url, what(c), c.result.answerFile, c.result.answerCut);
}

// "1 URL", "2 URLs".
QString countedUrls(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 URL") : QStringLiteral("%1 URLs").arg(count);
}

// A webmaster API's call standing for many URLs: named by the engine, its subject the site.
template <Text what> QString apiLine(const Context &c)
{
    return QStringLiteral("%1: %2 of %3: %4")
        .arg(c.subject.engine, countedUrls(c.subject.urls.size()), c.subject.url, what(c));
}

template <Text what> QString apiRow(const Context &c)
{
    return batchReportRow(c.subject.engine, c.subject.urls, c.subject.url, what(c), c.result.answerFile,
                          c.result.answerCut);
}

QString waiting(const Context &c)
{
    return (c.subject.urls.size() == 1 ? QStringLiteral("waits for ") : QStringLiteral("wait for ")) + c.result.reason;
}

// "Google: 12 URLs wait for tomorrow's quota (...)": how many is what the user wants to know.
QString waitingLine(const Context &c)
{
    return QStringLiteral("%1: %2 %3").arg(c.subject.engine, countedUrls(c.subject.urls.size()), waiting(c));
}

QString notSentLine(const Context &c)
{
    return QStringLiteral("Not sent, ") + c.result.reason + QStringLiteral(": ") + c.subject.url;
}

QString notAskedLine(const Context &c)
{
    return QStringLiteral("Not asked, ") + c.result.reason + QStringLiteral(": ") + c.subject.url;
}

// What an outcome does: to the URL's flag, the engine's limit and tally, and to what follows.
struct Effect
{
    FlagEffect flag;
    bool spendsLimit;
    Ends ends;
    Text failure; // the reason a failure is known by (the engine's first failure); nullptr: no failure
    Column tally; // nullptr: counted nowhere
    Column alsoTally = nullptr;
    bool EngineTally::*mark = nullptr; // a fact about the engine the outcome establishes
};

// How the submission of a URL, or an IndexNow request, tells it.
struct Told
{
    StatusKind kind;
    Text line;
    Text row;
};

// How the search tells it.
struct SearchTold
{
    StatusKind kind;
    Text line;
    SearchEntry entry;
    Text reason;
};

// One row per outcome: what it does, and how the submission, an IndexNow request, the search and a
// webmaster API's call for many URLs tell it (the search report shows such a call's line as its row).
struct OutcomeRule
{
    Outcome outcome;
    Effect effect;
    Told submission;
    Told batch;
    SearchTold search;
    Told api;
};

using F = FlagEffect;
using K = StatusKind;
using S = SearchEntry;
using T = EngineTally;

constexpr bool Spends = true;
constexpr bool Free = false;
constexpr Told Untold{K::Plain, none, none};
template <Text what> constexpr Told Api(StatusKind kind)
{
    return {kind, apiLine<what>, apiRow<what>};
}
constexpr SearchTold NotSearched{K::Plain, none, S::None, none};

const OutcomeRule Rules[] = {
    {Outcome::Accepted,
     {F::MarkDone, Spends, Ends::Nothing, nullptr, &T::accepted},
     {K::Plain, none,
      [](const Context &c) { return acceptedReportRow(c.subject.url, c.result.answerFile, c.result.answerCut); }},
     {K::Plain, batchLine<acceptedBatch>, batchRow<acceptedBatch>},
     NotSearched,
     Api<acceptedBatch>(K::Plain)},
    // A form engine's redirection; an IndexNow request or a search reads it as Moved.
    {Outcome::Redirected,
     {F::MarkDone, Spends, Ends::Nothing, nullptr, &T::accepted},
     {K::Plain, none,
      [](const Context &c) {
          return redirectionReportRow(c.subject.url, c.result.location, c.result.answerFile, c.result.answerCut);
      }},
     Untold,
     NotSearched,
     Untold},
    {Outcome::Failed,
     {F::Keep, Free, Ends::Nothing, reason, &T::failed},
     {K::Failure, failureLine, failureRow},
     {K::Failure, batchLine<why>, batchRow<why>},
     {K::Failure, failureLine, S::NotAsked, why},
     Api<why>(K::Failure)},
    {Outcome::TimedOut,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::timedOut},
     {K::Plain, timeoutLine, [](const Context &c) { return timeoutReportRow(c.subject.url); }},
     {K::Failure, batchLine<timeoutLine>, batchRow<timeoutLine>},
     {K::Plain, timeoutLine, S::NotAsked, [](const Context &) { return QStringLiteral("timed out"); }},
     Api<timeoutLine>(K::Failure)},
    {Outcome::SkippedUrl,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::skipped},
     {K::Plain, skippedLine, [](const Context &c) { return skippedReportRow(c.subject.url); }},
     {K::Failure, batchLine<skippedLine>, batchRow<skippedLine>},
     {K::Plain, skippedLine, S::NotAsked, byUser},
     Api<skippedLine>(K::Plain)},
    {Outcome::SkippedEngine,
     {F::Keep, Free, Ends::Engine, nullptr, &T::skipped},
     {K::Plain, skippedEngineLine, [](const Context &c) { return skippedEngineReportRow(c.subject.engine); }},
     {K::Failure, batchLine<skippedEngineLine>, batchRow<skippedEngineLine>},
     {K::Plain, skippedEngineLine, S::EngineNotAsked, byUser},
     Api<skippedEngineLine>(K::Plain)},
    {Outcome::Stopped,
     {F::Keep, Free, Ends::Run, nullptr, &T::skipped},
     {K::Plain, stoppedLine, [](const Context &) { return stoppedReportRow(); }},
     {K::Failure, batchLine<stoppedLine>, batchRow<stoppedLine>},
     {K::Plain, [](const Context &) { return QStringLiteral("Search project was stopped by the user"); }, S::Stopped,
      none},
     Api<stoppedLine>(K::Plain)},
    // An IndexNow request counts its URLs already done without a word.
    {Outcome::Disabled,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::disabled},
     {K::Plain, [](const Context &c) { return QStringLiteral("Disabled: ") + c.subject.url; },
      [](const Context &c) { return disabledReportRow(c.subject.url); }},
     Untold,
     NotSearched,
     Untold},
    {Outcome::LimitReached,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::limited},
     {K::Plain, skippedLine, [](const Context &c) { return skippedReportRow(c.subject.url); }},
     {K::Plain,
      [](const Context &c) {
          return QStringLiteral("Skipped, the engine's limit is reached: %1 URLs of %2")
              .arg(c.subject.urls.size())
              .arg(c.subject.url);
      },
      none},
     NotSearched,
     {K::Plain,
      [](const Context &c) {
          return QStringLiteral("%1: %2 URLs of %3: skipped, the engine's limit is reached")
              .arg(c.subject.engine)
              .arg(c.subject.urls.size())
              .arg(c.subject.url);
      },
      none}},
    // Nothing is sent, so the URL stays to do; a search could not ask about it.
    {Outcome::UnknownMethod,
     {F::Keep, Free, Ends::Nothing, reason, &T::failed},
     {K::Plain,
      [](const Context &c) {
          return QStringLiteral("Not submitted, ") + unknownMethod(c) + QStringLiteral(": ") + c.subject.url;
      },
      [](const Context &c) { return errorAccessingReportRow(c.subject.engine, c.subject.url); }},
     Untold,
     {K::Plain, none, S::NotAsked, unknownMethod},
     Untold},
    // The key check named the host already: an IndexNow request counts its URLs without a word.
    {Outcome::KeyMissing,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::keyMissing},
     {K::Plain,
      [](const Context &c) {
          return QStringLiteral("Not sent, ") + c.result.reason + QStringLiteral(": ") + c.subject.url;
      },
      [](const Context &c) { return notSentReportRow(c.subject.url, c.result.reason); }},
     Untold,
     NotSearched,
     Untold},
    {Outcome::Moved,
     {F::Keep, Free, Ends::Nothing, moved, &T::failed},
     {K::Failure, failureLine, failureRow},
     {K::Failure, batchLine<why>, batchRow<why>},
     {K::Failure, failureLine, S::NotAsked, why},
     Api<why>(K::Failure)},
    {Outcome::TooManyRequests,
     {F::Keep, Free, Ends::Engine, reason, &T::failed},
     {K::Failure, failureLine, failureRow},
     {K::Failure, batchLine<tooManyBatch>, batchRow<tooManyBatch>},
     {K::Failure, failureLine, S::NotAsked, why},
     Api<tooManyBatch>(K::Failure)},
    {Outcome::Listed,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::accepted},
     Untold,
     Untold,
     {K::Plain, none, S::Listed, none},
     Untold},
    {Outcome::NotListed,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::accepted, &T::notListed},
     Untold,
     Untold,
     {K::Plain, [](const Context &c) { return QStringLiteral("Not found: ") + c.subject.url + u' '; }, S::NotListed,
      none},
     Untold},
    // The summaries say the engine cannot be searched instead of counting its URLs.
    {Outcome::Unsearchable,
     {F::Keep, Free, Ends::Engine, nullptr, nullptr, nullptr, &T::unsearchable},
     Untold,
     Untold,
     {K::Heading,
      [](const Context &) {
          return QStringLiteral("URL searching for this engine will be skipped until further notice.");
      },
      S::EngineNotAsked, [](const Context &) { return QStringLiteral("its engine list entry has no search form"); }},
     Untold},
    // The URLs stay to do and the run's status stays clean: a quota is no fault.
    {Outcome::QuotaReached,
     {F::Keep, Free, Ends::Engine, nullptr, &T::limited},
     {K::Plain, notSentLine, [](const Context &c) { return notSentReportRow(c.subject.url, c.result.reason); }},
     Untold,
     {K::Plain, notAskedLine, S::NotAsked, reason},
     {K::Plain, waitingLine, apiRow<waiting>}},
    {Outcome::EngineUnusable,
     {F::Keep, Free, Ends::Engine, reason, &T::failed},
     {K::Failure, failureLine, failureRow},
     Untold,
     {K::Failure, failureLine, S::NotAsked, why},
     Api<why>(K::Failure)},
    // Judged per URL before any request, so an IndexNow engine tells them one by one too.
    {Outcome::NotIndexable,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::notIndexable},
     {K::Plain,
      [](const Context &c) {
          return QStringLiteral("Not submitted, ") + c.result.reason + QStringLiteral(": ") + c.subject.url;
      },
      [](const Context &c) { return notSubmittedReportRow(c.subject.url, c.result.reason); }},
     Untold,
     NotSearched,
     Untold},
    {Outcome::UnchangedContent,
     {F::MarkDone, Free, Ends::Nothing, nullptr, &T::unchanged},
     {K::Plain, [](const Context &c) { return QStringLiteral("Not sent, unchanged content: ") + c.subject.url; },
      [](const Context &c) { return notSubmittedReportRow(c.subject.url, QStringLiteral("unchanged content")); }},
     Untold,
     NotSearched,
     Untold},
    {Outcome::NotChecked,
     {F::Keep, Free, Ends::Nothing, nullptr, &T::notChecked},
     {K::Plain,
      [](const Context &c) {
          return QStringLiteral("Not submitted, could not be checked (") + c.result.reason + QStringLiteral("): ") +
                 c.subject.url;
      },
      [](const Context &c) {
          return notSubmittedReportRow(c.subject.url,
                                       QStringLiteral("could not be checked (") + c.result.reason + u')');
      }},
     Untold,
     NotSearched,
     Untold},
};
static_assert(std::size(Rules) == OutcomeCount, "one rule per outcome");

const OutcomeRule &ruleFor(Outcome outcome)
{
    // The rules stand in the order of the outcomes.
    const OutcomeRule &rule = Rules[int(outcome)];
    Q_ASSERT(rule.outcome == outcome);
    return rule;
}

const Effect &effectOf(Outcome outcome)
{
    return ruleFor(outcome).effect;
}

} // namespace

FlagEffect flagEffect(Outcome outcome)
{
    return effectOf(outcome).flag;
}

bool countsTowardLimit(Outcome outcome)
{
    return effectOf(outcome).spendsLimit;
}

bool isFailure(Outcome outcome)
{
    return effectOf(outcome).failure != nullptr;
}

bool endsEngine(Outcome outcome)
{
    return effectOf(outcome).ends == Ends::Engine;
}

bool endsRun(Outcome outcome)
{
    return effectOf(outcome).ends == Ends::Run;
}

void countOutcome(EngineTally &tally, const RequestResult &result, const OutcomeSubject &subject)
{
    const Effect &effect = effectOf(result.outcome);
    const int urls = subject.urls.isEmpty() ? 1 : int(subject.urls.size());
    for (const Column column : {effect.tally, effect.alsoTally})
        if (column)
            tally.*column += urls;
    if (effect.mark)
        tally.*effect.mark = true;
    if (effect.failure && tally.firstFailure.isEmpty())
        tally.firstFailure = effect.failure(Context{result, subject, QString()});
}

OutcomeLines describeOutcome(const RequestResult &result, const OutcomeSubject &subject)
{
    const OutcomeRule &rule = ruleFor(result.outcome);
    Context c{result, subject, QString()};
    if (rule.effect.failure)
        c.why = rule.effect.failure(c);
    switch (subject.telling) {
    case Telling::Submission:
        return {rule.submission.line(c), rule.submission.kind, rule.submission.row(c)};
    case Telling::IndexNowBatch:
        return {rule.batch.line(c), rule.batch.kind, rule.batch.row(c)};
    case Telling::ApiBatch: {
        // The search report keeps such a call's line as a row of the engine: there is no URL row to give it.
        const QString line = rule.api.line(c);
        return {line, rule.api.kind, rule.api.row(c), line.isEmpty() ? SearchEntry::None : SearchEntry::EngineNotAsked,
                line.mid(subject.engine.size() + 2)};
    }
    case Telling::Search:
        break;
    }
    return {rule.search.line(c), rule.search.kind, QString(), rule.search.entry, rule.search.reason(c)};
}
