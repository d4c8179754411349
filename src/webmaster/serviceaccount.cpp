#include "webmaster/serviceaccount.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include "webmaster/googleoutcome.h"
#include "webmaster/secretfile.h"

namespace webmaster {

namespace {

const QString KeyFileName = QStringLiteral("The Google service-account key file");

QString openSslReason()
{
    const unsigned long code = ERR_peek_last_error();
    const char *reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason != nullptr ? QString::fromLatin1(reason) : QStringLiteral("unknown error");
}

ServiceAccountFile refused(const QString &problem)
{
    ServiceAccountFile file;
    file.problem = problem;
    return file;
}

} // namespace

QString googleKeyFilePath(const QString &projectKeyFile)
{
    if (!projectKeyFile.trimmed().isEmpty())
        return projectKeyFile.trimmed();
    return qEnvironmentVariable("GOOGLE_APPLICATION_CREDENTIALS").trimmed();
}

ServiceAccountFile readServiceAccount(const QString &path)
{
    const SecretFile secret = readSecretFile(path, KeyFileName);
    if (!secret.ok())
        return refused(secret.problem);
    return parseServiceAccount(secret.content, path);
}

ServiceAccountFile parseServiceAccount(const QByteArray &json, const QString &path)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return refused(QStringLiteral("%1 %2 is not JSON: %3 at byte %4")
                           .arg(KeyFileName, path, error.errorString())
                           .arg(error.offset));
    if (!document.isObject())
        return refused(QStringLiteral("%1 %2 is not JSON: it holds no object").arg(KeyFileName, path));
    const QJsonObject fields = document.object();

    for (const char *name : {"type", "client_email", "private_key", "private_key_id", "token_uri"}) {
        if (fields.value(QLatin1String(name)).toString().isEmpty())
            return refused(QStringLiteral("%1 %2 has no \"%3\": download the JSON key of a service account from "
                                          "the Google Cloud console")
                               .arg(KeyFileName, path, QLatin1String(name)));
    }
    const QString type = fields.value(QLatin1String("type")).toString();
    if (type != QLatin1String("service_account"))
        return refused(QStringLiteral("%1 %2 is no service account's key (its type is \"%3\"): download the JSON "
                                      "key of a service account from the Google Cloud console")
                           .arg(KeyFileName, path, scrubbed(type, {})));

    ServiceAccount account;
    account.keyFile = path;
    account.clientEmail = fields.value(QLatin1String("client_email")).toString().toUtf8();
    account.privateKeyId = fields.value(QLatin1String("private_key_id")).toString().toUtf8();
    account.tokenUri = fields.value(QLatin1String("token_uri")).toString().toUtf8();
    // The assertion is a credential: it must not travel in clear text.
    if (!account.tokenUri.startsWith("https://"))
        return refused(QStringLiteral("%1 %2: its token_uri is no https:// address").arg(KeyFileName, path));

    QByteArray pem = fields.value(QLatin1String("private_key")).toString().toLatin1();
    BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    EVP_PKEY *key = bio != nullptr ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    pem.fill('\0');
    if (key == nullptr)
        return refused(
            QStringLiteral("%1 %2: its private_key cannot be read: %3").arg(KeyFileName, path, openSslReason()));
    account.privateKey.reset(key, EVP_PKEY_free);
    if (!EVP_PKEY_is_a(key, "RSA"))
        return refused(QStringLiteral("%1 %2: its private_key is no RSA key").arg(KeyFileName, path));

    ServiceAccountFile file;
    file.account = account;
    return file;
}

} // namespace webmaster
