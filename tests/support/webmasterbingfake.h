#pragma once

#include "support/lighttpdfixture.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace qctest {

// One SubmitUrlbatch call the fake took (and counted against the quota).
struct BingFakeBatch
{
    QString siteUrl;
    QStringList urls;
};

// One request as the fake received it, whatever became of it.
struct BingFakeRequest
{
    QByteArray method;      // "GET", "POST"
    QByteArray call;        // "GetUrlSubmissionQuota", "SubmitUrlbatch", "GetUrlInfo", ...
    QByteArray query;       // the raw query string, apikey included
    QByteArray contentType; // of a POST
    QByteArray body;
};

// Bing's webmaster API (JSON endpoint) played on loopback by a real lighttpd
// with a perl script, over https with a certificate of the tests' CA (or plain
// http without a PEM file). base() is what an engine list would name. The
// fake answers as the API does: {"d":…} on success, 400 with
// {"ErrorCode":N,"Message":"…"} on an error:
//   - a key other than apiKey(): ErrorCode 3 (InvalidApiKey)
//   - throttled: ErrorCode 4 (ThrottleUser) for every call
//   - a siteUrl other than site(): ErrorCode 14 (NotAuthorized)
//   - a batch of more than 500 URLs: ErrorCode 8 (InvalidParameter)
//   - a batch larger than the quota left: ErrorCode 2 with "Quota remaining for today: N, Submitted: M"
//   - server failure: 503 with an HTML page
// Each accepted batch is recorded and counted against both quotas. GetUrlInfo
// answers a URL given setUrlInfo() with its crawl date and status, any other
// with the dates of "never". Settings take effect at the next request.
class WebmasterBingFake
{
public:
    // pemFile: TestCertificates::serverPem(); "" serves plain http.
    explicit WebmasterBingFake(const QString &pemFile);

    bool start();
    QString lastError() const { return m_web.lastError(); }
    // ".../cgi-bin/bing.cgi", the API's base.
    QByteArray base() const { return m_web.url("/cgi-bin/bing.cgi"); }

    QByteArray apiKey() const { return m_config.value(QLatin1String("apiKey")).toString().toUtf8(); }
    QString site() const { return m_config.value(QLatin1String("site")).toString(); }
    void setApiKey(const QByteArray &key);
    void setSite(const QString &siteUrl);
    // What is left today and this month before any batch.
    void setQuota(int daily, int monthly);
    void setThrottled(bool throttled);
    void setServerFailure(bool failing);
    void setUrlInfo(const QString &url, const QDateTime &lastCrawled, int httpStatus);

    QList<BingFakeBatch> batches() const;
    QList<BingFakeRequest> requests() const;

private:
    void set(const QString &key, const QJsonValue &value);
    void writeConfig();
    QString stateDir() const;

    LighttpdFixture m_web;
    QJsonObject m_config;
};

} // namespace qctest
