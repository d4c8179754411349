#pragma once

#include <QString>

// What one engine saw of a run, for summaries. Every count is of URLs, never
// of requests: an IndexNow request that carried 12 URLs and failed is 12 sent
// and 12 failed, so each engine's counts add up alike whatever its form.
struct EngineTally
{
    QString engine;
    bool chosen = false; // the project asks this engine
    int sent = 0;        // URLs that went out
    int accepted = 0;    // accepted (a form engine's redirection included); the search: answered
    int failed = 0;      // refused, no usable answer, or an unknown method; the search's redirections too
    int timedOut = 0;
    int limited = 0;           // not sent: left for the next run by the engine's per-run limit
    int skipped = 0;           // skipped or stopped by the user
    int disabled = 0;          // already done
    int notListed = 0;         // search: URLs the engine does not list
    int keyMissing = 0;        // not sent: the URL's host does not publish the IndexNow key
    int notIndexable = 0;      // not sent: the page check found the page may not be indexed
    int unchanged = 0;         // not sent: the page check found the content the engine last accepted
    int notChecked = 0;        // not sent: the page check could not check the page
    int departedAnnounced = 0; // pages that went away whose announcement the engine accepted
    int departedRefused = 0;   // pages that went away whose announcement it did not: tried again next run
    bool unsearchable = false;
    // The engine's section of the engine list is broken, so the engine was not
    // asked at all: the list file, the section and the key at fault ("" when sound).
    QString listProblem = {};
    // Why the engine's first failed URL failed, with what the answer means ("" when none failed).
    QString firstFailure = {};
};
