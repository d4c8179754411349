#pragma once

#include "checks/pagechecker.h"
#include "project/store/pagestate.h"
#include "runs/outcome.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class UrlTable;

// The page checks of a submission run. Before the engines, check() fetches
// every URL of the project and every URL that left its list, with the previous
// check's validators, and records each result. Then, per engine, it says which
// URLs go out:
//  - a page that may not be indexed is not submitted (NotIndexable; its flag
//    stays, so it goes out once it may be indexed);
//  - a page whose fingerprint differs from the one the engine last accepted is
//    submitted again, whatever its flag said (prepareEngine() sets the flag);
//  - a page to submit whose fingerprint is the one the engine last accepted is
//    not sent (UnchangedContent, which marks it done);
//  - a page done for the engine with no accepted fingerprint (accepted before
//    the checks), or with one made by another fingerprint rule (another
//    version, another [Checks] Content), takes its current one, so neither the
//    first checked run nor a change of rule sends a whole site again.
//  - a page that could not be checked (no answer, a 5xx, robots.txt unreadable)
//    is not sent and keeps its flags (NotChecked); its last stored check stays.
// A URL the check did not see (none was recorded) goes as it would without
// checks. Pages that went away and answer 404 or 410 are announced to the bulk
// IndexNow engines until each accepted the announcement once; one that could
// not be checked is not.
//
// Writes go through PageState and the URL table's flags; they throw the
// table's UrlTableError.
class PageCheckPass
{
public:
    // A page that left the project's list, as this run found it.
    struct Departed
    {
        QString url;
        QString state;     // "answers <status line>", or why no answer came
        bool gone = false; // it answers 404 or 410: its deletion is announced
        QStringList told;  // what became of its announcements in this run, one text per engine
        bool checked = true;
    };

    struct Hooks
    {
        std::function<bool()> stopRequested;
        std::function<void(int done, int total)> progress;
        std::function<void(const QString &text)> status;
    };

    PageCheckPass(UrlTable &table, int projectId);

    // Checks the project's URLs and the departed ones (options as given) and
    // records the results; a page that could not be checked (a network
    // failure, a 5xx, robots.txt unreadable) leaves the previous check in place.
    // Returns false when stopped, having recorded nothing.
    bool check(const checks::PageCheckOptions &options, const Hooks &hooks);

    // Before an engine's walk: the first fingerprints of pages done before the
    // checks, and the flags of changed pages set again for column.
    void prepareEngine(const QString &engine, const QString &column);
    // The pages that could not be checked, one line per host in the order met:
    // "ann.example: 803 pages could not be checked (<the first one's cause>)".
    QStringList uncheckedHosts() const;

    // Why url is not sent to the engine (NotChecked or NotIndexable with the
    // verdict's text, UnchangedContent); nullopt when it goes as it would without checks.
    std::optional<RequestResult> refusal(const QString &engine, const QString &url) const;
    // The engine accepted urls: their current fingerprints become its accepted ones.
    void accepted(const QString &engine, const QStringList &urls);

    // The departed pages answering 404 or 410 whose deletion the engine has
    // not accepted yet, in the order they left.
    QStringList deletionsFor(const QString &engine);
    // What the engine answered to the announcement of urls' deletion: an
    // acceptance is kept for good, anything else is tried again next run.
    void deletionsAnswered(const QString &engine, const QStringList &urls, const RequestResult &result);

    // The departed pages this run has something to say about: those announced
    // or refused, and those still there (not announced).
    QList<Departed> departedToTell() const;

private:
    UrlTable &m_table;
    PageState m_state;
    int m_projectId;
    QHash<QString, checks::PageCheckResult> m_results; // the project's URLs, judged
    QList<Departed> m_departed;
    struct Unchecked
    {
        QString url;
        QString cause;
    };
    QList<Unchecked> m_unchecked;                          // listed and departed, in the order checked
    QHash<QString, QHash<QString, QByteArray>> m_accepted; // engine -> url -> fingerprint
};
