#include "webmaster/jwt.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <openssl/err.h>
#include <openssl/evp.h>

#include "webmaster/serviceaccount.h"

namespace webmaster {

namespace {

QByteArray compactJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString signingFailure()
{
    const unsigned long code = ERR_peek_last_error();
    const char *reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return QStringLiteral("the assertion cannot be signed: ") +
           (reason != nullptr ? QString::fromLatin1(reason) : QStringLiteral("unknown error"));
}

} // namespace

QByteArray base64Url(const QByteArray &bytes)
{
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

SignedAssertion signAssertion(const ServiceAccount &account, qint64 issuedAt, const QByteArray &scope)
{
    SignedAssertion signedAssertion;
    if (!account.valid()) {
        signedAssertion.problem = QStringLiteral("the assertion cannot be signed: the service account has no key");
        return signedAssertion;
    }
    const QJsonObject header{{QStringLiteral("alg"), QStringLiteral("RS256")},
                             {QStringLiteral("typ"), QStringLiteral("JWT")},
                             {QStringLiteral("kid"), QString::fromUtf8(account.privateKeyId)}};
    const QJsonObject claims{{QStringLiteral("iss"), QString::fromUtf8(account.clientEmail)},
                             {QStringLiteral("scope"), QString::fromUtf8(scope)},
                             {QStringLiteral("aud"), QString::fromUtf8(account.tokenUri)},
                             {QStringLiteral("iat"), issuedAt},
                             {QStringLiteral("exp"), issuedAt + AssertionLifetimeSeconds}};
    const QByteArray signingInput = base64Url(compactJson(header)) + '.' + base64Url(compactJson(claims));

    EVP_MD_CTX *context = EVP_MD_CTX_new();
    size_t length = 0;
    QByteArray signature;
    bool signedOk =
        context != nullptr &&
        EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, account.privateKey.get()) == 1 &&
        EVP_DigestSign(context, nullptr, &length, reinterpret_cast<const unsigned char *>(signingInput.constData()),
                       size_t(signingInput.size())) == 1;
    if (signedOk) {
        signature.resize(qsizetype(length));
        signedOk = EVP_DigestSign(context, reinterpret_cast<unsigned char *>(signature.data()), &length,
                                  reinterpret_cast<const unsigned char *>(signingInput.constData()),
                                  size_t(signingInput.size())) == 1;
        signature.resize(qsizetype(length));
    }
    EVP_MD_CTX_free(context);
    if (!signedOk) {
        signedAssertion.problem = signingFailure();
        return signedAssertion;
    }
    signedAssertion.assertion = signingInput + '.' + base64Url(signature);
    return signedAssertion;
}

} // namespace webmaster
