#include "webmaster/bingbatches.h"

#include <algorithm>

namespace webmaster {

BingBatchPlan planBingBatches(const QStringList &urls, int allowance, int batchLimit)
{
    BingBatchPlan plan;
    const qsizetype limit = std::max(batchLimit, 1);
    const qsizetype sent = std::clamp<qsizetype>(allowance, 0, urls.size());
    for (qsizetype first = 0; first < sent; first += limit)
        plan.batches.append(urls.mid(first, std::min(limit, sent - first)));
    plan.waiting = int(urls.size() - sent);
    if (plan.waiting > 0)
        plan.waitingMessage = QStringLiteral("%1 of %2 URLs wait for the next run: Bing's quota for the site "
                                             "allows %3 more today")
                                  .arg(plan.waiting)
                                  .arg(urls.size())
                                  .arg(sent);
    return plan;
}

} // namespace webmaster
