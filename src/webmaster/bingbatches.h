#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace webmaster {

// The most URLs one SubmitUrlbatch call takes, as Bing documents it.
constexpr int BingBatchLimit = 500;

// How a list of URLs goes out within one run.
struct BingBatchPlan
{
    QList<QStringList> batches; // in the list's order, each of 1 to batchLimit URLs
    int waiting = 0;            // URLs past the allowance: they wait for the next run
    QString waitingMessage;     // "" when none waits; otherwise how many and why
};

// Splits urls into batches of at most batchLimit (at least 1) URLs, sending
// no more than allowance URLs in all (the site's remaining daily quota; a
// negative one is 0). The URLs past the allowance are the last ones of the list.
BingBatchPlan planBingBatches(const QStringList &urls, int allowance, int batchLimit = BingBatchLimit);

} // namespace webmaster
