#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <functional>

namespace qctest {

// Google as the webmaster clients see it, one request in, one answer out:
// the OAuth token endpoint and the two Search Console calls. A server of the
// test's own feeds it each request's bytes (request line, headers, body) and
// sends back what answer() returns. Safe to call from the server's thread.
//
//   POST {tokenPath}                           checks the assertion (signature
//       through verifySignature; header alg/typ/kid; iss, scope, aud,
//       iat/exp against clock) and hands out "ya29.fake-<n>-a1b2c3d4e5f6" for
//       expiresIn (3599) s, or
//       400 invalid_grant with Google's kind of description
//   PUT  /webmasters/v3/sites/{site}/sitemaps/{feed}     200, recorded
//   POST /v1/urlInspection/index:inspect                 the URL's index status
//       (indexStatus, else "URL is unknown to Google"); 429 RESOURCE_EXHAUSTED
//       once quota inspections were answered
// A call without a token it handed out gets 401, one for a property in
// forbiddenProperties 403 PERMISSION_DENIED.
class GoogleFake
{
public:
    // The account whose assertions it takes, and where it thinks it is.
    QByteArray clientEmail;
    QByteArray keyId;
    QByteArray tokenUrl; // the aud assertions must carry: "https://127.0.0.1:<port>/token"
    QByteArray tokenPath = "/token";
    // RS256 over signingInput ("header.claims"), checked by the test with the account's public key.
    std::function<bool(const QByteArray &signingInput, const QByteArray &signature)> verifySignature;
    // Seconds since the epoch, the fake's now.
    std::function<qint64()> clock;

    QSet<QString> forbiddenProperties;
    int quota = -1;                             // inspections answered before 429; -1: no end
    QHash<QByteArray, QJsonObject> indexStatus; // URL -> indexStatusResult
    // The token answer's expires_in, as the JSON spells it.
    QByteArray expiresIn = "3599";
    // A hostile Google: every error message repeats the request's Authorization and body.
    bool echoCredentials = false;

    QByteArray answer(const QByteArray &request);
    // The tokens handed out so far stop working (Google revoked them early).
    void revokeTokens();

    // What it saw, in order.
    QList<QByteArray> assertions() const;
    QList<QByteArray> tokens() const;    // every one handed out, revoked ones too
    QList<QByteArray> sitemaps() const;  // "site feed", decoded
    QList<QByteArray> inspected() const; // "site url"
    int requests() const;

private:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray authorization;
        QByteArray body;
    };
    QByteArray token(const Request &request);
    QByteArray api(const Request &request);
    QByteArray error(int code, const QByteArray &status, const QString &message, const Request &request) const;

    mutable QMutex m_mutex;
    QList<QByteArray> m_assertions;
    QList<QByteArray> m_tokens;
    int m_revoked = 0; // the first m_revoked tokens no longer work
    QList<QByteArray> m_sitemaps;
    QList<QByteArray> m_inspected;
    int m_requests = 0;
};

// "HTTP/1.0 <code> <reason>" with a JSON content type and the body.
QByteArray googleJsonAnswer(int code, const QByteArray &body);

} // namespace qctest
