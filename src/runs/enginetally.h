#pragma once

#include <QString>

// What one engine saw of a run, for summaries.
struct EngineTally
{
    QString engine;
    bool chosen = false; // the project asks this engine
    int sent = 0;      // requests that went out
    int accepted = 0;  // accepted or redirected
    int failed = 0;
    int timedOut = 0;
    int limited = 0;   // not sent: the engine's per-run limit was reached
    int skipped = 0;   // skipped or stopped by the user
    int disabled = 0;  // already done
    int notListed = 0; // search: URLs the engine does not list
    int keyMissing = 0; // not sent: the URL's host does not publish the IndexNow key
    bool unsearchable = false;
};
