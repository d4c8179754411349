#include "webmaster/googleoutcome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "net/fetch.h"

namespace webmaster {

namespace {

// What a message shows of a status line, as the fetch shows one.
constexpr qsizetype StatusLineChars = 200;

// What an error body says, in either of Google's two shapes.
struct ErrorBody
{
    QString message;        // error.message, or the token endpoint's error_description
    QString status;         // error.status ("RESOURCE_EXHAUSTED"), or the token endpoint's error ("invalid_grant")
    QStringList reasons;    // error.errors[].reason, the older APIs' way to say "quotaExceeded"
    bool oauthForm = false; // {"error": "...", "error_description": "..."}
};

ErrorBody readErrorBody(const QByteArray &body)
{
    ErrorBody parsed;
    const QJsonObject root = QJsonDocument::fromJson(body).object();
    const QJsonValue error = root.value(QLatin1String("error"));
    if (error.isString()) {
        parsed.oauthForm = true;
        parsed.status = error.toString();
        parsed.message = root.value(QLatin1String("error_description")).toString();
        return parsed;
    }
    const QJsonObject object = error.toObject();
    parsed.message = object.value(QLatin1String("message")).toString();
    parsed.status = object.value(QLatin1String("status")).toString();
    for (const QJsonValue &entry : object.value(QLatin1String("errors")).toArray())
        parsed.reasons.append(entry.toObject().value(QLatin1String("reason")).toString());
    return parsed;
}

bool saysQuota(const ErrorBody &error)
{
    if (error.status == QLatin1String("RESOURCE_EXHAUSTED"))
        return true;
    for (const QString &reason : error.reasons) {
        if (reason == QLatin1String("quotaExceeded") || reason == QLatin1String("rateLimitExceeded") ||
            reason == QLatin1String("userRateLimitExceeded") || reason == QLatin1String("dailyLimitExceeded"))
            return true;
    }
    return false;
}

} // namespace

QString googleOutcomeMeaning(GoogleOutcome outcome)
{
    switch (outcome) {
    case GoogleOutcome::Ok:
        return QStringLiteral("done");
    case GoogleOutcome::KeyRejected:
        return QStringLiteral("the service account's key is not accepted");
    case GoogleOutcome::NoPermission:
        return QStringLiteral("the service account may not use the property");
    case GoogleOutcome::QuotaExhausted:
        return QStringLiteral("quota used up: the URLs wait for the next run");
    case GoogleOutcome::ServerFailure:
        return QStringLiteral("Google failed: retry later");
    case GoogleOutcome::Refused:
        return QStringLiteral("the request was refused");
    case GoogleOutcome::NetworkFailure:
        return QStringLiteral("network error");
    case GoogleOutcome::TimedOut:
        return QStringLiteral("timed out");
    case GoogleOutcome::Stopped:
        return QStringLiteral("stopped");
    case GoogleOutcome::BadAnswer:
        return QStringLiteral("an answer that cannot be read");
    case GoogleOutcome::BadAddress:
        return QStringLiteral("the address is no https:// URL");
    }
    return QString();
}

bool googleOutcomeEndsEngine(GoogleOutcome outcome)
{
    return outcome == GoogleOutcome::KeyRejected || outcome == GoogleOutcome::NoPermission ||
           outcome == GoogleOutcome::QuotaExhausted || outcome == GoogleOutcome::BadAddress;
}

GoogleCall classifyGoogleAnswer(const net::FetchResult &fetched, const QString &what, const QList<QByteArray> &secrets)
{
    GoogleCall call;
    call.status = fetched.statusCode;
    using Fetched = net::FetchResult::Outcome;
    switch (fetched.outcome) {
    case Fetched::Success:
        call.outcome = GoogleOutcome::Ok;
        return call;
    case Fetched::TimedOut:
        call.outcome = GoogleOutcome::TimedOut;
        call.message = what + QStringLiteral(" failed: ") + scrubbed(fetched.text, secrets);
        return call;
    case Fetched::Stopped:
        call.outcome = GoogleOutcome::Stopped;
        call.message = what + QStringLiteral(" was stopped");
        return call;
    case Fetched::TooLarge:
        call.outcome = GoogleOutcome::BadAnswer;
        call.message = what + QStringLiteral(" failed: the answer is ") + fetched.text;
        return call;
    case Fetched::Failed:
    case Fetched::RedirectRefused:
        call.outcome = GoogleOutcome::NetworkFailure;
        call.message = what + QStringLiteral(" failed: ") + scrubbed(fetched.text, secrets);
        return call;
    case Fetched::HttpStatus:
        break;
    }

    const int code = fetched.statusCode;
    const ErrorBody error = readErrorBody(fetched.body);
    const QString apiMessage = scrubbed(error.message, secrets);
    if (error.oauthForm && code >= 400 && code < 500 && code != 429) {
        call.outcome = GoogleOutcome::KeyRejected;
        call.message = what + QStringLiteral(" was refused: ") +
                       (apiMessage.isEmpty() ? scrubbed(error.status, secrets) : apiMessage);
        return call;
    }
    call.message = what + QStringLiteral(" failed: ") +
                   scrubbed(QString::fromLatin1(fetched.statusLine), secrets, StatusLineChars);
    if (code >= 300 && code < 400 && !fetched.location.isEmpty())
        call.message += QStringLiteral(": it leads to ") + scrubbed(QString::fromLatin1(fetched.location), secrets);
    else if (!apiMessage.isEmpty())
        call.message += QStringLiteral(": ") + apiMessage;

    if (code == 429 || saysQuota(error)) {
        call.outcome = GoogleOutcome::QuotaExhausted;
        call.message += QStringLiteral("; the quota is used up: the URLs wait for the next run");
    } else if (code == 401) {
        call.outcome = GoogleOutcome::KeyRejected;
        call.message += QStringLiteral("; the service account's key is not accepted");
    } else if (code == 403) {
        call.outcome = GoogleOutcome::NoPermission;
    } else if (code >= 500 && code < 600) {
        call.outcome = GoogleOutcome::ServerFailure;
    } else {
        call.outcome = GoogleOutcome::Refused;
    }
    return call;
}

} // namespace webmaster
