#include "webmaster/bingoutcome.h"

#include "net/fetch.h"
#include "webmaster/scrub.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace webmaster {

namespace {

// What a message shows of a status line, as the fetch shows one.
constexpr qsizetype StatusLineChars = 200;

BingOutcome outcomeOfErrorCode(int code, const QString &message)
{
    switch (static_cast<BingErrorCode>(code)) {
    case BingErrorCode::InvalidApiKey:
    case BingErrorCode::UserNotFound:
        return BingOutcome::InvalidKey;
    case BingErrorCode::ThrottleUser:
    case BingErrorCode::ThrottleHost:
        return BingOutcome::Throttled;
    case BingErrorCode::UserBlocked:
    case BingErrorCode::NotAuthorized:
        return BingOutcome::NotAuthorized;
    default:
        break;
    }
    // The API has no code of its own for a used-up quota: it says so in the message.
    if (message.contains(QLatin1String("quota"), Qt::CaseInsensitive))
        return BingOutcome::QuotaUsedUp;
    switch (static_cast<BingErrorCode>(code)) {
    case BingErrorCode::NotAllowed:
        return BingOutcome::NotAuthorized;
    case BingErrorCode::InvalidUrl:
    case BingErrorCode::InvalidParameter:
        return BingOutcome::InvalidUrl;
    case BingErrorCode::InternalError:
        return BingOutcome::ServerError;
    default:
        return BingOutcome::ApiError;
    }
}

BingOutcome outcomeOfStatus(int status)
{
    if (status == 401)
        return BingOutcome::InvalidKey;
    if (status == 403)
        return BingOutcome::NotAuthorized;
    if (status == 429)
        return BingOutcome::Throttled;
    if (status >= 500 && status <= 599)
        return BingOutcome::ServerError;
    return BingOutcome::BadAnswer;
}

BingResult failed(BingOutcome outcome, const QString &detail)
{
    BingResult result;
    result.outcome = outcome;
    result.message =
        detail.isEmpty() ? bingOutcomeMeaning(outcome) : bingOutcomeMeaning(outcome) + QStringLiteral(": ") + detail;
    return result;
}

} // namespace

QString bingOutcomeMeaning(BingOutcome outcome)
{
    switch (outcome) {
    case BingOutcome::Ok:
        return QStringLiteral("accepted");
    case BingOutcome::QuotaUsedUp:
        return QStringLiteral("the site's daily quota is used up: the URLs wait for the next run");
    case BingOutcome::Throttled:
        return QStringLiteral("too many requests: Bing asks to retry later");
    case BingOutcome::InvalidKey:
        return QStringLiteral("the API key is not valid");
    case BingOutcome::NotAuthorized:
        return QStringLiteral("the API key's user may not act for this site");
    case BingOutcome::InvalidUrl:
        return QStringLiteral("Bing refused a URL or parameter");
    case BingOutcome::ApiError:
        return QStringLiteral("Bing reported an error");
    case BingOutcome::ServerError:
        return QStringLiteral("Bing's server failed");
    case BingOutcome::BadAnswer:
        return QStringLiteral("the answer is not the API's");
    case BingOutcome::NetworkError:
        return QStringLiteral("network error");
    case BingOutcome::TimedOut:
        return QStringLiteral("no answer in time");
    case BingOutcome::Stopped:
        return QStringLiteral("stopped");
    }
    return QString();
}

bool bingOutcomeFails(BingOutcome outcome)
{
    return outcome != BingOutcome::Ok && outcome != BingOutcome::QuotaUsedUp && outcome != BingOutcome::Stopped;
}

bool bingOutcomeStopsEngine(BingOutcome outcome)
{
    switch (outcome) {
    case BingOutcome::QuotaUsedUp:
    case BingOutcome::Throttled:
    case BingOutcome::InvalidKey:
    case BingOutcome::NotAuthorized:
    case BingOutcome::Stopped:
        return true;
    default:
        return false;
    }
}

BingResult classifyBingFetch(const net::FetchResult &fetch, const QByteArray &secret)
{
    using Outcome = net::FetchResult::Outcome;
    const QList<QByteArray> secrets{secret};
    // A network error may name the address asked, and the address carries the key.
    const QString fetchText = scrubbed(fetch.text, secrets);
    BingResult result;
    switch (fetch.outcome) {
    case Outcome::Failed:
        result = failed(BingOutcome::NetworkError, fetchText);
        break;
    case Outcome::TimedOut:
        result = failed(BingOutcome::TimedOut, fetchText);
        break;
    case Outcome::Stopped:
        result = failed(BingOutcome::Stopped, QString());
        break;
    case Outcome::TooLarge:
    case Outcome::RedirectRefused:
        result = failed(BingOutcome::BadAnswer, fetchText);
        break;
    case Outcome::Success:
    case Outcome::HttpStatus: {
        const QJsonDocument answer = QJsonDocument::fromJson(fetch.body);
        const QJsonObject error = answer.object();
        const QJsonValue code = error.value(QLatin1String("ErrorCode"));
        if (code.isDouble() && code.toInt() != 0) {
            const QString message = scrubbed(error.value(QLatin1String("Message")).toString(), secrets).trimmed();
            result = failed(outcomeOfErrorCode(code.toInt(), message),
                            QStringLiteral("ErrorCode %1%2")
                                .arg(code.toInt())
                                .arg(message.isEmpty() ? QString() : QStringLiteral(", ") + message));
            result.errorCode = code.toInt();
        } else if (fetch.ok() && error.contains(QLatin1String("d"))) {
            result.outcome = BingOutcome::Ok;
        } else if (fetch.ok()) {
            // A proxy's page or a captive portal answers 200 too: only the API's {"d": ...} is its answer.
            result =
                failed(BingOutcome::BadAnswer, QStringLiteral("HTTP %1 without the API's JSON").arg(fetch.statusCode));
        } else {
            result = failed(outcomeOfStatus(fetch.statusCode),
                            scrubbed(QString::fromLatin1(fetch.statusLine), secrets, StatusLineChars));
        }
        result.httpStatus = fetch.statusCode;
        break;
    }
    }
    return result;
}

} // namespace webmaster
