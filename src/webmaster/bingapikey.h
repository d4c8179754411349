#pragma once

#include <QByteArray>
#include <QString>

namespace webmaster {

// The Bing webmaster API key a project's key file holds.
struct BingApiKey
{
    QByteArray key;  // never logged or shown
    QString problem; // "" when the key was read; otherwise a message naming the file, never holding its content

    bool ok() const { return problem.isEmpty(); }
};

// Reads the key file through readSecretFile (refusing one others may read),
// drops a UTF-8 byte-order mark and blanks around the key, and refuses an
// empty key or one with blanks, control characters or non-ASCII bytes inside.
BingApiKey readBingApiKey(const QString &path);

// The same checks on a key already read; "" when it is usable, else the trouble.
QString bingApiKeyProblem(const QByteArray &key);

} // namespace webmaster
