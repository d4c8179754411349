#include "runs/outcome.h"

#include "runs/report.h"

#include <iterator>

namespace {

struct OutcomeContext
{
    const RequestResult &result;
    const QString &engine;
    const QString &url;
    const QString &method;
};

using Text = QString (*)(const OutcomeContext &);

QString none(const OutcomeContext &)
{
    return {};
}

QString failureText(const OutcomeContext &c)
{
    return QStringLiteral("Error accessing: ") + c.engine + QStringLiteral(": ") + c.url + QStringLiteral(" (") +
           c.result.reason + QStringLiteral(")");
}

// One row per outcome: what happens to the flag, the status line, the report row
// of a submission, and the search's status line where it differs.
struct OutcomeRule
{
    Outcome outcome;
    FlagEffect flag;
    StatusKind kind;
    Text statusLine;
    Text reportRow;
    Text searchLine;
};

const OutcomeRule Rules[] = {
    {Outcome::Accepted, FlagEffect::MarkDone, StatusKind::Plain, none,
     [](const OutcomeContext &c) { return acceptedReportRow(c.url, c.result.answerFile, c.result.answerCut); }, none},
    {Outcome::Redirected, FlagEffect::MarkDone, StatusKind::Plain, none,
     [](const OutcomeContext &c) {
         return redirectionReportRow(c.url, c.result.location, c.result.answerFile, c.result.answerCut);
     },
     none},
    {Outcome::Failed, FlagEffect::Keep, StatusKind::Failure, failureText,
     [](const OutcomeContext &c) {
         return failureReportRow(c.engine, c.url, c.result.reason, c.result.answerFile, c.result.answerCut);
     },
     failureText},
    {Outcome::TimedOut, FlagEffect::Keep, StatusKind::Plain,
     [](const OutcomeContext &c) { return QStringLiteral("Timeout: ") + c.url; },
     [](const OutcomeContext &c) { return timeoutReportRow(c.url); },
     [](const OutcomeContext &c) { return QStringLiteral("Timeout: ") + c.url; }},
    {Outcome::SkippedUrl, FlagEffect::Keep, StatusKind::Plain,
     [](const OutcomeContext &c) { return QStringLiteral("Skipped: ") + c.url; },
     [](const OutcomeContext &c) { return skippedReportRow(c.url); },
     [](const OutcomeContext &c) { return QStringLiteral("Skipped: ") + c.url; }},
    {Outcome::SkippedEngine, FlagEffect::Keep, StatusKind::Plain,
     [](const OutcomeContext &c) { return QStringLiteral("Skipped engine: ") + c.engine; },
     [](const OutcomeContext &c) { return skippedEngineReportRow(c.engine); },
     [](const OutcomeContext &c) { return QStringLiteral("Skipped engine: ") + c.engine; }},
    {Outcome::Stopped, FlagEffect::Keep, StatusKind::Plain,
     [](const OutcomeContext &) { return QStringLiteral("Submission project was stopped by the user"); },
     [](const OutcomeContext &) { return stoppedReportRow(); },
     [](const OutcomeContext &) { return QStringLiteral("Search project was stopped by the user"); }},
    {Outcome::Disabled, FlagEffect::Keep, StatusKind::Plain,
     [](const OutcomeContext &c) { return QStringLiteral("Disabled: ") + c.url; },
     [](const OutcomeContext &c) { return disabledReportRow(c.url); }, none},
    {Outcome::LimitReached, FlagEffect::Keep, StatusKind::Plain,
     [](const OutcomeContext &c) { return QStringLiteral("Skipped: ") + c.url; },
     [](const OutcomeContext &c) { return skippedReportRow(c.url); }, none},
    {Outcome::UnknownMethod, FlagEffect::Keep, StatusKind::Plain,
     [](const OutcomeContext &c) {
         return QStringLiteral("Not submitted, the method \"") + c.method +
                QStringLiteral("\" is neither post nor get: ") + c.url;
     },
     [](const OutcomeContext &c) { return errorAccessingReportRow(c.engine, c.url); }, none},
    {Outcome::KeyMissing, FlagEffect::Keep, StatusKind::Plain,
     [](const OutcomeContext &c) { return QStringLiteral("Not sent, ") + c.result.reason + QStringLiteral(": ") + c.url; },
     [](const OutcomeContext &c) { return notSentReportRow(c.url, c.result.reason); }, none},
};

const OutcomeRule &ruleFor(Outcome outcome)
{
    for (const OutcomeRule &rule : Rules)
        if (rule.outcome == outcome)
            return rule;
    return Rules[std::size(Rules) - 1];
}

} // namespace

FlagEffect flagEffect(Outcome outcome)
{
    return ruleFor(outcome).flag;
}

bool countsTowardLimit(Outcome outcome)
{
    return flagEffect(outcome) == FlagEffect::MarkDone;
}

OutcomeLines submissionOutcomeLines(const RequestResult &result, const QString &engine, const QString &url,
                                    const QString &method)
{
    const OutcomeRule &rule = ruleFor(result.outcome);
    const OutcomeContext context{result, engine, url, method};
    return {rule.statusLine(context), rule.kind, rule.reportRow(context)};
}

OutcomeLines searchOutcomeLines(const RequestResult &result, const QString &engine, const QString &url)
{
    const OutcomeRule &rule = ruleFor(result.outcome);
    const QString method;
    const OutcomeContext context{result, engine, url, method};
    return {rule.searchLine(context), rule.kind, QString()};
}
