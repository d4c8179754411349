#pragma once

#include "runs/enginetally.h"

#include <QList>
#include <QString>

// True when, for an engine the project chose, a URL failed or timed out, a URL
// could not be sent for want of a published IndexNow key or because its page
// could not be checked, or the engine's section of the engine list is broken
// (the engine was not asked at all).
bool anyRequestFailed(const QList<EngineTally> &tally);

// The summary an unattended program writes when something needs looking at:
// per chosen engine the URLs sent, accepted, failed, timed out and left for
// the next run by the engine's limit (the URLs skipped by the user and those
// kept back for want of a published IndexNow key, those the page checks kept
// back or could not check, and the pages that went away that were announced, when there are any), and
// for an engine with failures the first one's reason (a network error in
// plain words, "connection refused (10061)"); for a search the URLs
// asked about and not listed (and those left to a later run by the engine's
// quota, when there are any) and the engines that could not be asked. URLs
// an engine's quota keeps for the next run count as left for the next run:
// a quota is no failure. An engine
// whose engine list section is broken is named with the file, the section and
// the key at fault. An empty list leaves its part out. notices, when given,
// come first, one line each.
QString RunSummary(const QList<EngineTally> &submission, const QList<EngineTally> &search,
                   const QStringList &notices = {});
