#include "support/webmastergooglefake.h"

#include <QJsonDocument>
#include <QMutexLocker>

namespace qctest {

namespace {

const QByteArray JwtBearerGrant = "urn:ietf:params:oauth:grant-type:jwt-bearer";
const QByteArray WebmastersScope = "https://www.googleapis.com/auth/webmasters";
const QByteArray SitesPrefix = "/webmasters/v3/sites/";
const QByteArray InspectPath = "/v1/urlInspection/index:inspect";

QByteArray formValue(const QByteArray &form, const QByteArray &name)
{
    for (const QByteArray &pair : form.split('&')) {
        if (pair.startsWith(name + '='))
            return QByteArray::fromPercentEncoding(pair.mid(name.size() + 1).replace('+', ' '));
    }
    return {};
}

QJsonObject jsonPart(const QByteArray &part)
{
    return QJsonDocument::fromJson(QByteArray::fromBase64(part, QByteArray::Base64UrlEncoding)).object();
}

QByteArray oauthError(const QByteArray &error, const QByteArray &description)
{
    return googleJsonAnswer(
        400, QJsonDocument(QJsonObject{{QStringLiteral("error"), QString::fromLatin1(error)},
                                       {QStringLiteral("error_description"), QString::fromLatin1(description)}})
                 .toJson(QJsonDocument::Compact));
}

} // namespace

QByteArray googleJsonAnswer(int code, const QByteArray &body)
{
    static const QHash<int, QByteArray> reasons{{200, "OK"},        {400, "Bad Request"}, {401, "Unauthorized"},
                                                {403, "Forbidden"}, {404, "Not Found"},   {429, "Too Many Requests"}};
    return "HTTP/1.0 " + QByteArray::number(code) + ' ' + reasons.value(code, "Answer") +
           "\r\nContent-Type: application/json; charset=UTF-8\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

QByteArray GoogleFake::answer(const QByteArray &bytes)
{
    QMutexLocker lock(&m_mutex);
    ++m_requests;
    Request request;
    const qsizetype headEnd = bytes.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = bytes.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    bool sized = false;
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith("authorization:"))
            request.authorization = line.mid(14).trimmed();
        sized = sized || line.toLower().startsWith("content-length:");
    }
    // Like Google's front end: a PUT or POST must say how long its body is, an empty one too.
    if ((request.method == "PUT" || request.method == "POST") && !sized)
        return error(411, "LENGTH_REQUIRED", QStringLiteral("Length Required"), request);
    request.body = headEnd < 0 ? QByteArray() : bytes.mid(headEnd + 4);
    if (request.method == "POST" && request.path == tokenPath)
        return token(request);
    return api(request);
}

QByteArray GoogleFake::token(const Request &request)
{
    const auto oauthError = [&](const QByteArray &error, const QByteArray &description) {
        return qctest::oauthError(error, echoCredentials ? description + " You sent " + request.body : description);
    };
    if (formValue(request.body, "grant_type") != JwtBearerGrant)
        return oauthError("unsupported_grant_type", "Invalid grant_type: " + formValue(request.body, "grant_type"));
    const QByteArray assertion = formValue(request.body, "assertion");
    m_assertions.append(assertion);
    const QList<QByteArray> parts = assertion.split('.');
    if (parts.size() != 3 || assertion.contains('='))
        return oauthError("invalid_grant", "Invalid JWT: the assertion is no compact JWS.");
    const QJsonObject header = jsonPart(parts[0]);
    if (header.value(QLatin1String("alg")).toString() != QLatin1String("RS256") ||
        header.value(QLatin1String("typ")).toString() != QLatin1String("JWT") ||
        header.value(QLatin1String("kid")).toString().toLatin1() != keyId)
        return oauthError("invalid_grant", "Invalid JWT: the header does not name this account's RS256 key.");
    if (!verifySignature ||
        !verifySignature(parts[0] + '.' + parts[1], QByteArray::fromBase64(parts[2], QByteArray::Base64UrlEncoding)))
        return oauthError("invalid_grant", "Invalid JWT Signature.");
    const QJsonObject claims = jsonPart(parts[1]);
    if (claims.value(QLatin1String("iss")).toString().toLatin1() != clientEmail)
        return oauthError("invalid_grant", "Invalid grant: account not found");
    if (claims.value(QLatin1String("aud")).toString().toLatin1() != tokenUrl ||
        claims.value(QLatin1String("scope")).toString().toLatin1() != WebmastersScope)
        return oauthError("invalid_grant", "Invalid JWT: the audience or the scope is not this endpoint's.");
    const qint64 now = clock ? clock() : 0;
    const qint64 iat = claims.value(QLatin1String("iat")).toInteger(-1);
    const qint64 exp = claims.value(QLatin1String("exp")).toInteger(-1);
    if (iat > now + 60 || iat < now - 300 || exp <= now || exp <= iat || exp - iat > 3600)
        return oauthError("invalid_grant", "Invalid JWT: Token must be a short-lived token (60 minutes) and in a "
                                           "reasonable timeframe. Check your iat and exp values in the JWT claim.");
    const QByteArray issued = "ya29.fake-" + QByteArray::number(m_tokens.size() + 1) + "-a1b2c3d4e5f6";
    m_tokens.append(issued);
    return googleJsonAnswer(200, R"({"access_token":")" + issued + R"(","expires_in":)" + expiresIn +
                                     R"(,"token_type":"Bearer"})");
}

QByteArray GoogleFake::api(const Request &request)
{
    if (!request.authorization.startsWith("Bearer ") || m_tokens.indexOf(request.authorization.mid(7)) < m_revoked)
        return error(401, "UNAUTHENTICATED", QStringLiteral("Request had invalid authentication credentials."),
                     request);
    QString site;
    QByteArray subject;
    if (request.method == "PUT" && request.path.startsWith(SitesPrefix)) {
        const QList<QByteArray> segments = request.path.mid(SitesPrefix.size()).split('/');
        if (segments.size() != 3 || segments[1] != "sitemaps")
            return error(404, "NOT_FOUND", QStringLiteral("Not Found"), request);
        site = QString::fromUtf8(QByteArray::fromPercentEncoding(segments[0]));
        subject = QByteArray::fromPercentEncoding(segments[2]);
    } else if (request.method == "POST" && request.path == InspectPath) {
        const QJsonObject question = QJsonDocument::fromJson(request.body).object();
        site = question.value(QLatin1String("siteUrl")).toString();
        subject = question.value(QLatin1String("inspectionUrl")).toString().toUtf8();
    } else {
        return error(404, "NOT_FOUND", QStringLiteral("Not Found"), request);
    }
    if (forbiddenProperties.contains(site))
        return error(403, "PERMISSION_DENIED",
                     QStringLiteral("User does not have sufficient permission for site '%1'.").arg(site), request);
    if (request.method == "PUT") {
        m_sitemaps.append(site.toUtf8() + ' ' + subject);
        return googleJsonAnswer(200, {});
    }
    if (quota >= 0 && m_inspected.size() >= quota)
        return error(429, "RESOURCE_EXHAUSTED", QStringLiteral("Quota exceeded for quota metric 'URL inspection'."),
                     request);
    m_inspected.append(site.toUtf8() + ' ' + subject);
    const QJsonObject status = indexStatus.value(
        subject, QJsonObject{{QStringLiteral("verdict"), QStringLiteral("NEUTRAL")},
                             {QStringLiteral("coverageState"), QStringLiteral("URL is unknown to Google")}});
    const QJsonObject result{
        {QStringLiteral("inspectionResult"),
         QJsonObject{{QStringLiteral("inspectionResultLink"), QStringLiteral("https://search.google.com/x")},
                     {QStringLiteral("indexStatusResult"), status}}}};
    return googleJsonAnswer(200, QJsonDocument(result).toJson(QJsonDocument::Compact));
}

QByteArray GoogleFake::error(int code, const QByteArray &status, const QString &message, const Request &request) const
{
    QString text = message;
    if (echoCredentials)
        text += QStringLiteral(" You sent %1 with %2")
                    .arg(QString::fromLatin1(request.authorization), QString::fromUtf8(request.body));
    const QJsonObject body{{QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), code},
                                                                 {QStringLiteral("message"), text},
                                                                 {QStringLiteral("status"), QLatin1String(status)}}}};
    return googleJsonAnswer(code, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

void GoogleFake::revokeTokens()
{
    QMutexLocker lock(&m_mutex);
    m_revoked = int(m_tokens.size());
}

QList<QByteArray> GoogleFake::assertions() const
{
    QMutexLocker lock(&m_mutex);
    return m_assertions;
}

QList<QByteArray> GoogleFake::tokens() const
{
    QMutexLocker lock(&m_mutex);
    return m_tokens;
}

QList<QByteArray> GoogleFake::sitemaps() const
{
    QMutexLocker lock(&m_mutex);
    return m_sitemaps;
}

QList<QByteArray> GoogleFake::inspected() const
{
    QMutexLocker lock(&m_mutex);
    return m_inspected;
}

int GoogleFake::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

} // namespace qctest
