#pragma once

#include <QByteArray>
#include <QString>

namespace webmaster {

struct ServiceAccount;

// The scope every Search Console call needs.
inline constexpr char WebmastersScope[] = "https://www.googleapis.com/auth/webmasters";
// How long an assertion is valid: Google accepts at most an hour.
inline constexpr qint64 AssertionLifetimeSeconds = 3600;

// Base64url without padding, as JWTs write every part.
QByteArray base64Url(const QByteArray &bytes);

struct SignedAssertion
{
    QByteArray assertion; // header.claims.signature; a credential, never shown or saved
    QString problem;      // "" when signed; otherwise why not (OpenSSL's reason)

    bool ok() const { return problem.isEmpty(); }
};

// The JWT a service account exchanges for an access token: header
// {"alg":"RS256","typ":"JWT","kid":private_key_id}, claims iss=client_email,
// scope, aud=token_uri, iat=issuedAt, exp=issuedAt+3600 (seconds since the
// epoch), signed with RSASSA-PKCS1-v1_5 over SHA-256 by the account's key.
SignedAssertion signAssertion(const ServiceAccount &account, qint64 issuedAt,
                              const QByteArray &scope = WebmastersScope);

} // namespace webmaster
