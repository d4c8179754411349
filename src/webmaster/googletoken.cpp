#include "webmaster/googletoken.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include "net/fetch.h"
#include "webmaster/jwt.h"

namespace webmaster {

namespace {

const QString ExchangeName = QStringLiteral("the token exchange");
// No token answer comes near this; a larger one is no token answer.
constexpr qint64 MaxTokenAnswerBytes = 64 * 1024;
// What an answer without expires_in is taken to give: Google's tokens last an hour.
constexpr qint64 DefaultLifetimeSeconds = 3600;
// The most a token is held, whatever the answer claims: Google's last an hour.
constexpr qint64 MaxLifetimeSeconds = 24 * 3600;

// A token goes into a header line: only the characters of RFC 6750's b64token.
bool usableToken(const QByteArray &token)
{
    if (token.isEmpty() || token.size() > 4096)
        return false;
    for (const char c : token) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                             c == '.' || c == '_' || c == '~' || c == '+' || c == '/' || c == '=';
        if (!allowed)
            return false;
    }
    return true;
}

} // namespace

GoogleToken::GoogleToken(ServiceAccount account, Clock clock)
    : m_account(std::move(account)),
      m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentSecsSinceEpoch(); }))
{}

GoogleToken::Bearer GoogleToken::bearer(THTTPClient &http, const GoogleCallOptions &options)
{
    if (!m_token.isEmpty() && m_clock() < m_expiresAt - RenewBeforeSeconds) {
        Bearer held;
        held.token = m_token;
        held.call.outcome = GoogleOutcome::Ok;
        return held;
    }
    forget();
    return exchange(http, options);
}

void GoogleToken::forget()
{
    m_token.fill('\0');
    m_token.clear();
    m_expiresAt = 0;
}

QList<QByteArray> GoogleToken::secrets() const
{
    return m_token.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{m_token};
}

GoogleToken::Bearer GoogleToken::exchange(THTTPClient &http, const GoogleCallOptions &options)
{
    Bearer result;
    if (!m_account.tokenUri.startsWith("https://")) {
        result.call.outcome = GoogleOutcome::BadAddress;
        result.call.message = ExchangeName + QStringLiteral(" was not made: the token_uri is no https:// address");
        return result;
    }
    const qint64 issuedAt = m_clock();
    const SignedAssertion assertion = signAssertion(m_account, issuedAt);
    if (!assertion.ok()) {
        result.call.outcome = GoogleOutcome::KeyRejected;
        result.call.message = ExchangeName + QStringLiteral(" was not made: ") + assertion.problem;
        return result;
    }

    net::FetchRequest request;
    request.url = m_account.tokenUri;
    request.method = QByteArrayLiteral("POST");
    request.postData = "grant_type=" + QByteArray("urn:ietf:params:oauth:grant-type:jwt-bearer").toPercentEncoding() +
                       "&assertion=" + assertion.assertion;
    request.timeoutSeconds = options.timeoutSeconds;
    request.stopRequested = options.stopRequested;
    // A token endpoint that redirects is not followed: the assertion goes to the file's address only.
    request.maxRedirects = 0;
    request.keepBody = true;
    request.maxBytes = MaxTokenAnswerBytes;
    ++m_exchanges;
    const net::FetchResult fetched = net::Fetch(http, request);

    result.call = classifyGoogleAnswer(fetched, ExchangeName, {assertion.assertion});
    if (!result.call.ok())
        return result;
    const QJsonObject answer = QJsonDocument::fromJson(fetched.body).object();
    const QByteArray token = answer.value(QLatin1String("access_token")).toString().toLatin1();
    if (!usableToken(token)) {
        result.call.outcome = GoogleOutcome::BadAnswer;
        result.call.message = ExchangeName + QStringLiteral(" failed: the answer holds no usable access_token");
        return result;
    }
    // The server's number is read as a double (JSON has no other) and bounded before any sum.
    const double claimed = answer.value(QLatin1String("expires_in")).toDouble(double(DefaultLifetimeSeconds));
    const qint64 lifetime = claimed > 0 ? qint64(qMin(claimed, double(MaxLifetimeSeconds))) : 0;
    m_token = token;
    m_expiresAt = issuedAt + lifetime;
    result.token = token;
    result.fresh = true;
    return result;
}

} // namespace webmaster
