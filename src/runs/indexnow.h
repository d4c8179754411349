#pragma once

#include "runs/outcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

struct EngineSection;

// The IndexNow protocol as the submission run speaks it: an engine whose
// method is "indexnow" takes a host's URLs in one JSON request; an engine whose
// form template uses $KEY takes one URL at a time like any other.
namespace IndexNow {

inline constexpr int MaxUrlsPerRequest = 10000;

// The method is "indexnow" (the bulk form).
bool isBulkEngine(const EngineSection &section);
// The bulk form, or a form template holding $KEY: the engine checks the key
// file, so only URLs of hosts that publish it are worth sending.
bool usesKey(const EngineSection &section);

// "scheme://host[:port]" of an http or https URL (the host in lower case), ""
// for anything else. The key file and a bulk request are per authority.
QString authorityOf(const QString &url);
// Just the host of an authority.
QString hostOf(const QString &authority);
// Where the site publishes its key: the authority's root, "<key>.txt".
QString keyLocation(const QString &authority, const QString &key);

// The bulk request's body: {"host", "key", "keyLocation", "urlList"} as UTF-8 JSON.
QByteArray requestBody(const QString &host, const QString &key, const QString &keyLocation, const QStringList &urls);

// The engine's answer accepts every URL of the request: 200 or 202, nothing
// else (another 2xx, and a redirection, leave the URLs to be submitted).
bool accepts(int statusCode);

// What an endpoint's answer means under the protocol: 200 and 202 accept every
// URL of the request; a redirection is Moved (its location made a whole address
// against endpoint); 429 is TooManyRequests; any other answer is Failed, its
// reason the status line. A refusal's reason begins with what its code means
// ("key not valid (HTTP/1.1 403 Forbidden)"). A timeout, skip or stop stays as it is.
RequestResult readAnswer(RequestResult answer, const QByteArray &endpoint);

// Until when an engine that answered 429 or 503 with retryAfter (the header's
// value: seconds, or an HTTP date) asked not to be asked, at most
// MaxRetryAfterSeconds from now; invalid for any other answer, a value that is
// neither, or a time already past.
inline constexpr qint64 MaxRetryAfterSeconds = 24 * 60 * 60;
QDateTime retryUntil(int statusCode, const QByteArray &retryAfter, const QDateTime &now);

// What an engine's status code means under the protocol, for the codes it
// names ("" for others): 400 "bad request", 403 "key not valid", 422 "URLs not
// on the host, or key not matching", 429 "too many requests: retry later".
QString meaningOf(int statusCode);

} // namespace IndexNow
