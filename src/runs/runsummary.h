#pragma once

#include "runs/enginetally.h"

#include <QList>
#include <QString>

// True when a request of these runs failed or timed out, or a URL could not be
// sent for want of a published IndexNow key.
bool anyRequestFailed(const QList<EngineTally> &tally);

// The summary an unattended program writes when something needs looking at:
// per chosen engine the requests sent, accepted, failed, timed out and
// skipped by the engine's limit, and for a search the URLs not listed and the
// engines that could not be asked. An empty list leaves its part out.
// notices, when given, come first, one line each.
QString RunSummary(const QList<EngineTally> &submission, const QList<EngineTally> &search,
                   const QStringList &notices = {});
