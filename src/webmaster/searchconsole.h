#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "webmaster/googleoutcome.h"

class THTTPClient;

namespace webmaster {

class GoogleToken;

// What Search Console says about one URL (the index status of its URL inspection).
struct UrlInspection
{
    GoogleCall call;
    QByteArray verdict;      // indexStatusResult.verdict: "PASS", "NEUTRAL", "FAIL", "PARTIAL", ...
    QString coverageState;   // "Submitted and indexed", "URL is unknown to Google", ...
    QDateTime lastCrawlTime; // UTC; invalid when Google has not crawled it
    bool listed = false;     // the verdict is PASS: the URL is in Google's index
};

// Search Console's API for one service account: sitemap submission and URL
// inspection, each call one request over the one fetch with the account's
// access token. Holds no state of its own but the token; every address is the
// caller's, so tests and the test mode point it at their own servers. Only
// https:// addresses are used (BadAddress otherwise, nothing sent). A call
// answered 401 to a held token is made once more with a new token.
class SearchConsole
{
public:
    static constexpr char DefaultApiBase[] = "https://www.googleapis.com/webmasters/v3";
    static constexpr char DefaultInspectAddress[] =
        "https://searchconsole.googleapis.com/v1/urlInspection/index:inspect";

    SearchConsole(GoogleToken &token, THTTPClient &http, GoogleCallOptions options = {});

    // PUT {apiBase}/sites/{property}/sitemaps/{feedUrl}, both percent-encoded
    // as one path segment each. Ok when Google answered 2xx.
    GoogleCall submitSitemap(const QByteArray &apiBase, const QString &property, const QByteArray &feedUrl);
    // POST {"inspectionUrl": url, "siteUrl": property} to inspectAddress. Ok
    // with the index status read; BadAnswer when a 2xx holds none. A 403
    // names the service account and says to add it to the property.
    UrlInspection inspect(const QByteArray &inspectAddress, const QString &property, const QByteArray &url);

private:
    struct Request
    {
        QByteArray url;
        QByteArray method;
        QByteArray body;
        QString what;
    };
    // The request with the token, once more after a 401 to a held one; the
    // answer's body in *body when Ok.
    GoogleCall call(const Request &request, const QString &property, QByteArray *body);

    GoogleToken &m_token;
    THTTPClient &m_http;
    GoogleCallOptions m_options;
};

} // namespace webmaster
