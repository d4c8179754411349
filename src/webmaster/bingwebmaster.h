#pragma once

#include "webmaster/bingoutcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class THTTPClient;

namespace webmaster {

// The site's remaining URL submissions, as GetUrlSubmissionQuota answers.
struct BingQuota
{
    BingResult result;
    int daily = 0;   // left today
    int monthly = 0; // left this month

    // What may still go out today: the smaller of the two, never negative.
    int allowance() const;
};

// What GetUrlInfo says of one URL.
struct BingUrlInfo
{
    BingResult result;
    // True when Bing has crawled the URL (a LastCrawledDate after 1970) and did
    // not get an error status (HttpStatus 400 or more) for it; an unknown URL
    // (no crawl date, or NotFound) is Ok and not listed.
    bool listed = false;
    QDateTime lastCrawled; // UTC; invalid when never crawled
    QDateTime discovered;  // UTC; invalid when unknown
    int httpStatus = 0;    // what Bing got when it crawled; 0 when it says nothing
};

// A client of Bing's webmaster API (the JSON endpoint, base such as
// "https://ssl.bing.com/webmaster/api.svc/json") over net::Fetch with the
// caller's client, so its proxy and user agent apply. The key travels in the
// query string as the API wants it; no result, message or address this class
// returns ever holds it. A redirect is never followed (it would carry the key
// elsewhere): it is a BadAnswer. Calls wait, pumping events, within the
// timeout; they never throw.
class BingWebmaster
{
public:
    BingWebmaster(THTTPClient &http, const QByteArray &apiKey, int timeoutSeconds = 30);

    // Polled while a call waits: true ends it (Stopped).
    void setStopCheck(std::function<bool()> stopRequested) { m_stopRequested = std::move(stopRequested); }

    // GET {base}/GetUrlSubmissionQuota?siteUrl=…&apikey=…
    BingQuota quota(const QByteArray &base, const QString &siteUrl);
    // POST {base}/SubmitUrlbatch?apikey=… with {"siteUrl":…,"urlList":[…]}. At
    // most BingBatchLimit URLs (planBingBatches makes such batches); an empty
    // list sends nothing and is Ok.
    BingResult submitBatch(const QByteArray &base, const QString &siteUrl, const QStringList &urls);
    // GET {base}/GetUrlInfo?siteUrl=…&url=…&apikey=…
    BingUrlInfo urlInfo(const QByteArray &base, const QString &siteUrl, const QString &url);

    // The JSON body of a batch, as sent.
    static QByteArray batchBody(const QString &siteUrl, const QStringList &urls);
    // A date of the API's JSON ("/Date(1581724800000-0700)/", or ISO 8601) in
    // UTC; invalid for anything else and for a moment not after 1970 (the
    // API's "never").
    static QDateTime parseDate(const QString &text);

private:
    struct Call;
    Call call(const QByteArray &base, const QByteArray &method, const QList<std::pair<QByteArray, QString>> &query,
              const QByteArray &body);
    QByteArray address(const QByteArray &base, const QByteArray &method,
                       const QList<std::pair<QByteArray, QString>> &query, const QByteArray &key) const;

    THTTPClient &m_http;
    QByteArray m_key;
    int m_timeoutSeconds;
    std::function<bool()> m_stopRequested;
};

} // namespace webmaster
