#include "webmaster/searchconsole.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "net/fetch.h"
#include "webmaster/googletoken.h"

namespace webmaster {

namespace {

// An inspection answer runs to a few kilobytes; a larger one is no answer of the API.
constexpr qint64 MaxAnswerBytes = 1024 * 1024;

QByteArray pathSegment(const QByteArray &value)
{
    // Everything but the unreserved characters is encoded, "/" and ":" included.
    return value.toPercentEncoding();
}

} // namespace

SearchConsole::SearchConsole(GoogleToken &token, THTTPClient &http, GoogleCallOptions options)
    : m_token(token), m_http(http), m_options(std::move(options))
{}

GoogleCall SearchConsole::submitSitemap(const QByteArray &apiBase, const QString &property, const QByteArray &feedUrl)
{
    QByteArray base = apiBase;
    while (base.endsWith('/'))
        base.chop(1);
    const Request request{base + "/sites/" + pathSegment(property.toUtf8()) + "/sitemaps/" + pathSegment(feedUrl),
                          QByteArrayLiteral("PUT"), QByteArray(),
                          QStringLiteral("the sitemap submission of ") + QString::fromUtf8(feedUrl)};
    return call(request, property, nullptr);
}

UrlInspection SearchConsole::inspect(const QByteArray &inspectAddress, const QString &property, const QByteArray &url)
{
    const QJsonObject question{{QStringLiteral("inspectionUrl"), QString::fromUtf8(url)},
                               {QStringLiteral("siteUrl"), property}};
    const Request request{inspectAddress, QByteArrayLiteral("POST"),
                          QJsonDocument(question).toJson(QJsonDocument::Compact),
                          QStringLiteral("the inspection of ") + QString::fromUtf8(url)};
    UrlInspection inspection;
    QByteArray body;
    inspection.call = call(request, property, &body);
    if (!inspection.call.ok())
        return inspection;

    const QJsonValue status = QJsonDocument::fromJson(body)
                                  .object()
                                  .value(QLatin1String("inspectionResult"))
                                  .toObject()
                                  .value(QLatin1String("indexStatusResult"));
    if (!status.isObject()) {
        inspection.call.outcome = GoogleOutcome::BadAnswer;
        inspection.call.message = request.what + QStringLiteral(" failed: the answer holds no index status");
        return inspection;
    }
    const QJsonObject index = status.toObject();
    inspection.verdict = index.value(QLatin1String("verdict")).toString().toLatin1();
    // Google's words go into the report: the token that fetched them is cut out, should they echo it.
    inspection.coverageState = scrubbed(index.value(QLatin1String("coverageState")).toString(), m_token.secrets());
    inspection.lastCrawlTime =
        QDateTime::fromString(index.value(QLatin1String("lastCrawlTime")).toString(), Qt::ISODateWithMs).toUTC();
    inspection.listed = inspection.verdict == "PASS";
    return inspection;
}

GoogleCall SearchConsole::call(const Request &request, const QString &property, QByteArray *body)
{
    if (!request.url.startsWith("https://")) {
        GoogleCall refused;
        refused.outcome = GoogleOutcome::BadAddress;
        refused.message = request.what + QStringLiteral(" was not sent: ") + QString::fromUtf8(request.url) +
                          QStringLiteral(" is no https:// address, and the access token must not travel in clear "
                                         "text");
        return refused;
    }
    for (int attempt = 0;; ++attempt) {
        const GoogleToken::Bearer bearer = m_token.bearer(m_http, m_options);
        if (!bearer.call.ok())
            return bearer.call;

        net::FetchRequest fetch;
        fetch.url = request.url;
        fetch.method = request.method;
        fetch.postData = request.body;
        fetch.contentType = QByteArrayLiteral("application/json");
        fetch.headers = "Authorization: Bearer " + bearer.token;
        fetch.timeoutSeconds = m_options.timeoutSeconds;
        fetch.stopRequested = m_options.stopRequested;
        // The API does not redirect; a redirect is reported, not followed with the token.
        fetch.maxRedirects = 0;
        fetch.keepBody = true;
        fetch.maxBytes = MaxAnswerBytes;
        const net::FetchResult fetched = net::Fetch(m_http, fetch);

        GoogleCall result = classifyGoogleAnswer(fetched, request.what, {bearer.token});
        // A held token may have been revoked before its time: one more try with a new one.
        if (result.status == 401 && !bearer.fresh && attempt == 0) {
            m_token.forget();
            continue;
        }
        if (result.outcome == GoogleOutcome::NoPermission)
            result.message += QStringLiteral("; add the service account to the property as a user (%1 to %2 in "
                                             "Search Console's settings)")
                                  .arg(QString::fromUtf8(m_token.account().clientEmail), property);
        if (result.ok() && body != nullptr)
            *body = fetched.body;
        return result;
    }
}

} // namespace webmaster
