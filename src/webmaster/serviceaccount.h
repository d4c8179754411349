#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

namespace webmaster {

// A Google Cloud service account, as its JSON key file describes it:
// {"type": "service_account", "client_email", "private_key" (PEM, PKCS#8),
// "private_key_id", "token_uri", ...}. The private key is held only as
// OpenSSL's key object: its PEM text is not kept, so it cannot end up in a
// message or a file.
struct ServiceAccount
{
    QString keyFile;                      // the path it was read from
    QByteArray clientEmail;               // the account's name, shown in messages
    QByteArray privateKeyId;              // the JWT header's "kid"
    QByteArray tokenUri;                  // where assertions are exchanged for tokens (https only)
    std::shared_ptr<EVP_PKEY> privateKey; // RSA

    bool valid() const { return privateKey != nullptr; }
};

// The key file to use: the project's own when it names one, otherwise the
// file GOOGLE_APPLICATION_CREDENTIALS names, as Google's own tools do; "" when
// neither does.
QString googleKeyFilePath(const QString &projectKeyFile);

struct ServiceAccountFile
{
    ServiceAccount account; // valid() when problem is ""
    QString problem;        // a message naming the path and the trouble; never the key

    bool ok() const { return problem.isEmpty(); }
};

// Reads path through readSecretFile (a file others may read is refused) and
// checks it: JSON, a service account's, every field above present, a
// private key OpenSSL can read as RSA, an https token_uri.
ServiceAccountFile readServiceAccount(const QString &path);
// The same checks on the file's content; path only names it in messages.
ServiceAccountFile parseServiceAccount(const QByteArray &json, const QString &path);

} // namespace webmaster
