#include "webmaster/bingwebmaster.h"

#include "net/fetch.h"
#include "net/httpclient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace webmaster {

namespace {

// No answer of the API is near this size; a larger one is not the API's.
constexpr qint64 MaxAnswerBytes = 1024 * 1024;

// RFC 3986's unreserved characters stay as they are, as the request line carries them.
QByteArray queryValue(const QByteArray &value)
{
    return value.toPercentEncoding();
}

// The object under "d", where the API's JSON endpoint puts every answer.
QJsonObject answerOf(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object().value(QLatin1String("d")).toObject();
}

BingResult badAnswer(BingResult result, const QString &detail)
{
    result.outcome = BingOutcome::BadAnswer;
    result.message = bingOutcomeMeaning(BingOutcome::BadAnswer) + QStringLiteral(": ") + detail;
    return result;
}

} // namespace

int BingQuota::allowance() const
{
    return std::max(0, std::min(daily, monthly));
}

struct BingWebmaster::Call
{
    BingResult result;
    QByteArray body;
};

BingWebmaster::BingWebmaster(THTTPClient &http, const QByteArray &apiKey, int timeoutSeconds)
    : m_http(http), m_key(apiKey), m_timeoutSeconds(timeoutSeconds)
{}

QByteArray BingWebmaster::address(const QByteArray &base, const QByteArray &method,
                                  const QList<std::pair<QByteArray, QString>> &query, const QByteArray &key) const
{
    QByteArray url = base;
    while (url.endsWith('/'))
        url.chop(1);
    url += '/' + method + '?';
    for (const auto &[name, value] : query)
        url += name + '=' + queryValue(value.toUtf8()) + '&';
    return url + "apikey=" + key;
}

BingWebmaster::Call BingWebmaster::call(const QByteArray &base, const QByteArray &method,
                                        const QList<std::pair<QByteArray, QString>> &query, const QByteArray &body)
{
    net::FetchRequest request;
    request.url = address(base, method, query, queryValue(m_key));
    if (!body.isNull()) {
        request.method = QByteArrayLiteral("POST");
        request.postData = body;
        request.contentType = QByteArrayLiteral("application/json; charset=utf-8");
    }
    request.timeoutSeconds = m_timeoutSeconds;
    // A redirect would take the key in the query string to wherever it points.
    request.maxRedirects = 0;
    request.keepBody = true;
    request.maxBytes = MaxAnswerBytes;
    request.stopRequested = m_stopRequested;

    const net::FetchResult fetch = net::Fetch(m_http, request);
    Call done;
    done.result = classifyBingFetch(fetch, m_key);
    done.result.address = QString::fromUtf8(address(base, method, query, "…"));
    done.body = fetch.body;
    return done;
}

BingQuota BingWebmaster::quota(const QByteArray &base, const QString &siteUrl)
{
    const Call done = call(base, "GetUrlSubmissionQuota", {{"siteUrl", siteUrl}}, QByteArray());
    BingQuota quota;
    quota.result = done.result;
    if (!done.result.ok())
        return quota;
    const QJsonObject answer = answerOf(done.body);
    const QJsonValue daily = answer.value(QLatin1String("DailyQuota"));
    const QJsonValue monthly = answer.value(QLatin1String("MonthlyQuota"));
    if (!daily.isDouble() || !monthly.isDouble()) {
        quota.result = badAnswer(done.result, QStringLiteral("no DailyQuota and MonthlyQuota in the quota answer"));
        return quota;
    }
    quota.daily = std::max(0, daily.toInt());
    quota.monthly = std::max(0, monthly.toInt());
    return quota;
}

BingResult BingWebmaster::submitBatch(const QByteArray &base, const QString &siteUrl, const QStringList &urls)
{
    if (urls.isEmpty()) {
        BingResult nothing;
        nothing.outcome = BingOutcome::Ok;
        return nothing;
    }
    return call(base, "SubmitUrlbatch", {}, batchBody(siteUrl, urls)).result;
}

BingUrlInfo BingWebmaster::urlInfo(const QByteArray &base, const QString &siteUrl, const QString &url)
{
    const Call done = call(base, "GetUrlInfo", {{"siteUrl", siteUrl}, {"url", url}}, QByteArray());
    BingUrlInfo info;
    info.result = done.result;
    if (done.result.errorCode == int(BingErrorCode::NotFound)) {
        // Bing knows nothing of the URL: an answer, not a failure.
        info.result.outcome = BingOutcome::Ok;
        info.result.message.clear();
        return info;
    }
    if (!done.result.ok())
        return info;
    const QJsonValue answer = QJsonDocument::fromJson(done.body).object().value(QLatin1String("d"));
    if (answer.isNull())
        return info;
    if (!answer.isObject()) {
        info.result = badAnswer(done.result, QStringLiteral("no UrlInfo in the answer"));
        return info;
    }
    const QJsonObject fields = answer.toObject();
    info.lastCrawled = parseDate(fields.value(QLatin1String("LastCrawledDate")).toString());
    info.discovered = parseDate(fields.value(QLatin1String("DiscoveryDate")).toString());
    info.httpStatus = fields.value(QLatin1String("HttpStatus")).toInt();
    info.listed = info.lastCrawled.isValid() && info.httpStatus < 400;
    return info;
}

QByteArray BingWebmaster::batchBody(const QString &siteUrl, const QStringList &urls)
{
    QJsonObject body;
    body.insert(QLatin1String("siteUrl"), siteUrl);
    body.insert(QLatin1String("urlList"), QJsonArray::fromStringList(urls));
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

QDateTime BingWebmaster::parseDate(const QString &text)
{
    static const QRegularExpression wcf(QStringLiteral(R"(^/Date\((-?\d{1,15})(?:[+-]\d{4})?\)/$)"));
    QDateTime moment;
    if (const QRegularExpressionMatch match = wcf.match(text); match.hasMatch())
        // The milliseconds count from 1970 in UTC; the offset after them only says where the server was.
        moment = QDateTime::fromMSecsSinceEpoch(match.captured(1).toLongLong(), Qt::UTC);
    else
        moment = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (moment.timeSpec() == Qt::LocalTime)
        moment.setTimeSpec(Qt::UTC); // the API's dates without an offset are UTC
    moment = moment.toUTC();
    if (!moment.isValid() || moment.toMSecsSinceEpoch() <= 0)
        return QDateTime();
    return moment;
}

} // namespace webmaster
