#include "runs/pagecheckpass.h"

#include "net/fetch.h"
#include "project/store/urltable.h"

#include <QSet>
#include <QUrl>

#include <algorithm>

namespace {

using checks::PageVerdict;

PageVerdict verdictOf(const PageState::Check &check)
{
    // A number no verdict has (a file written by another version) reads as a page that may be indexed.
    if (check.verdictKind < 0 || check.verdictKind > int(PageVerdict::Kind::Unreachable))
        return {};
    return {PageVerdict::Kind(check.verdictKind), check.verdictText};
}

PageState::Check recordOf(const checks::PageCheckResult &result, const QDateTime &now)
{
    PageState::Check check;
    check.etag = result.etag;
    check.lastModified = result.lastModified;
    check.fingerprint = result.fingerprint;
    check.verdictKind = int(result.verdict.kind);
    check.verdictText = result.verdict.text;
    check.statusLine = net::printableStatusLine(result.statusLine);
    check.checked = now;
    check.rawHash = result.rawHash;
    return check;
}

bool isGone(const checks::PageCheckResult &result)
{
    return result.statusCode == 404 || result.statusCode == 410;
}

} // namespace

PageCheckPass::PageCheckPass(UrlTable &table, int projectId) : m_table(table), m_state(table), m_projectId(projectId)
{}

bool PageCheckPass::check(const checks::PageCheckOptions &options, const Hooks &hooks)
{
    QStringList urls;
    for (const UrlTable::UrlRow &row : m_table.viewRows(QString()))
        if (!urls.contains(row.url))
            urls << row.url;
    const QStringList departed = m_table.departedUrls(m_projectId);
    const QHash<QString, PageState::Check> previous = m_state.checks(m_projectId);

    QList<checks::PageCheckInput> inputs;
    for (const QString &url : urls + departed) {
        checks::PageCheckInput input;
        input.url = url.toUtf8();
        if (const auto it = previous.constFind(url); it != previous.cend())
            input.previous = {it->etag, it->lastModified, it->fingerprint, verdictOf(*it), it->rawHash};
        inputs << input;
    }
    hooks.status(QStringLiteral("Checking %1 pages").arg(inputs.size()));
    checks::PageChecker checker(options);
    int done = 0;
    checker.onResult = [&](int, const checks::PageCheckResult &) { hooks.progress(++done, int(inputs.size())); };
    checker.stopRequested = hooks.stopRequested;
    const QList<checks::PageCheckResult> results = checker.check(inputs);
    if (hooks.stopRequested())
        return false;

    const QDateTime now = QDateTime::currentDateTimeUtc();
    QHash<QString, PageState::Check> records;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const checks::PageCheckResult &result = results.at(i);
        const QString url = i < urls.size() ? urls.at(i) : departed.at(i - urls.size());
        // A page that could not be checked leaves its last check stored as it was: nothing new is known.
        const bool checked = result.verdict.checked();
        if (checked)
            records.insert(url, recordOf(result, now));
        else
            m_unchecked.append({url, result.verdict.text});
        if (i >= urls.size()) {
            QString status = QStringLiteral("could not be checked (") + result.verdict.text + u')';
            if (checked)
                status = result.statusLine.isEmpty()
                             ? result.verdict.text
                             : QStringLiteral("answers ") + net::printableStatusLine(result.statusLine);
            m_departed.append({url, status, checked && isGone(result), {}, checked});
        } else {
            // Its verdict says why nothing goes out for it; it has no fingerprint to compare.
            checks::PageCheckResult kept = result;
            if (!checked)
                kept.fingerprint.clear();
            m_results.insert(url, kept);
        }
    }
    m_state.setChecks(m_projectId, records);
    // A page back in the list is announced again when it goes away again.
    m_state.forgetDeletionsOfListedUrls(m_projectId);
    int unindexable = 0, changed = 0;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const checks::PageCheckResult &result = m_results[urls.at(i)];
        unindexable += result.verdict.indexable() || !result.verdict.checked() ? 0 : 1;
        const auto last = previous.constFind(urls.at(i));
        // A fingerprint of another rule says nothing of a change.
        const bool comparable =
            last != previous.cend() && checks::ruleOf(result.fingerprint) == checks::ruleOf(last->fingerprint);
        changed += comparable && !result.fingerprint.isEmpty() && result.fingerprint != last->fingerprint ? 1 : 0;
    }
    hooks.status(
        QStringLiteral("Checked %1 pages: %2 may not be indexed, %3 changed since the last check; %4 of %5 "
                       "pages that went away answer 404 or 410")
            .arg(urls.size())
            .arg(unindexable)
            .arg(changed)
            .arg(std::count_if(m_departed.cbegin(), m_departed.cend(), [](const Departed &d) { return d.gone; }))
            .arg(m_departed.size()));
    return true;
}

QStringList PageCheckPass::uncheckedHosts() const
{
    QStringList hosts;
    QHash<QString, int> count;
    QHash<QString, QString> firstCause;
    for (const Unchecked &page : m_unchecked) {
        const QString host = QUrl(page.url).host();
        if (!count.contains(host)) {
            hosts << host;
            firstCause.insert(host, page.cause);
        }
        ++count[host];
    }
    QStringList lines;
    for (const QString &host : std::as_const(hosts)) {
        const int n = count.value(host);
        lines << QStringLiteral("%1: %2 could not be checked (%3)")
                     .arg(host.isEmpty() ? QStringLiteral("(no host)") : host,
                          n == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(n),
                          firstCause.value(host));
    }
    return lines;
}

void PageCheckPass::prepareEngine(const QString &engine, const QString &column)
{
    QHash<QString, QByteArray> accepted = m_state.accepted(m_projectId, engine);
    QHash<QString, QByteArray> first;
    for (const UrlTable::UrlRow &row : m_table.viewRows(column)) {
        const auto it = m_results.constFind(row.url);
        if (it == m_results.cend() || it->fingerprint.isEmpty() || !it->verdict.indexable())
            continue;
        const QByteArray known = accepted.value(row.url);
        if (known.isEmpty() || checks::ruleOf(known) != checks::ruleOf(it->fingerprint)) {
            // Accepted before the checks existed, or fingerprinted by another rule (another
            // version, another [Checks] Content): what the page is now is what the engine has.
            if (row.flag.has_value() && !*row.flag)
                first.insert(row.url, it->fingerprint);
        } else if (known != it->fingerprint && !row.flag.value_or(false)) {
            m_table.setRowFlags(column, {row.rowId}, true);
        }
    }
    m_state.setAccepted(m_projectId, engine, first);
    accepted.insert(first);
    m_accepted.insert(engine, accepted);
}

std::optional<RequestResult> PageCheckPass::refusal(const QString &engine, const QString &url) const
{
    const auto it = m_results.constFind(url);
    if (it == m_results.cend())
        return std::nullopt;
    if (!it->verdict.checked()) {
        RequestResult kept(Outcome::NotChecked);
        kept.reason = it->verdict.text;
        return kept;
    }
    if (!it->verdict.indexable()) {
        RequestResult kept(Outcome::NotIndexable);
        kept.reason = it->verdict.text;
        return kept;
    }
    if (!it->fingerprint.isEmpty() && m_accepted.value(engine).value(url) == it->fingerprint)
        return RequestResult(Outcome::UnchangedContent);
    return std::nullopt;
}

void PageCheckPass::accepted(const QString &engine, const QStringList &urls)
{
    QHash<QString, QByteArray> taken;
    for (const QString &url : urls) {
        const auto it = m_results.constFind(url);
        if (it != m_results.cend() && !it->fingerprint.isEmpty())
            taken.insert(url, it->fingerprint);
    }
    m_state.setAccepted(m_projectId, engine, taken);
    m_accepted[engine].insert(taken);
}

QStringList PageCheckPass::deletionsFor(const QString &engine)
{
    const QSet<QString> done = m_state.deletionsAccepted(m_projectId, engine);
    QStringList urls;
    for (const Departed &page : std::as_const(m_departed))
        if (page.gone && !done.contains(page.url))
            urls << page.url;
    return urls;
}

void PageCheckPass::deletionsAnswered(const QString &engine, const QStringList &urls, const RequestResult &result)
{
    const bool taken = result.outcome == Outcome::Accepted;
    if (taken)
        m_state.setDeletionsAccepted(m_projectId, engine, urls, QDateTime::currentDateTimeUtc());
    QString what = result.statusLine.isEmpty() ? result.reason : result.statusLine;
    if (what.isEmpty())
        what = describeOutcome(result, {Telling::Submission, engine}).statusLine;
    const QString told =
        taken ? QStringLiteral("announced to %1 (%2)").arg(engine, what)
              : QStringLiteral("not announced to %1 (%2); tried again in the next run").arg(engine, what);
    const QSet<QString> announced(urls.cbegin(), urls.cend());
    for (Departed &page : m_departed)
        if (announced.contains(page.url))
            page.told << told;
}

QList<PageCheckPass::Departed> PageCheckPass::departedToTell() const
{
    QList<Departed> result;
    for (const Departed &page : m_departed)
        if (!page.told.isEmpty() || !page.gone)
            result << page;
    return result;
}
