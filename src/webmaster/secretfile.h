#pragma once

#include <QByteArray>
#include <QString>

namespace webmaster {

// A file that holds a secret (a service account's private key, an API key).
// Like ssh with a private key, the program refuses one that the file's group
// or other users may read or write: a secret others can read is no secret.
struct SecretFile
{
    QByteArray content; // the whole file, when readable; never logged or shown
    QString problem;    // "" when the file was read; otherwise a message naming the path and the trouble

    bool ok() const { return problem.isEmpty(); }
};

// Reads path (at most 64 KiB: no key is larger) after checking it is a regular
// file that only its owner may read or write. what names the secret in the
// message ("The Google service-account key file", "The Bing API key file").
SecretFile readSecretFile(const QString &path, const QString &what);

} // namespace webmaster
