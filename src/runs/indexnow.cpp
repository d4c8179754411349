#include "runs/indexnow.h"

#include "engines/enginelist.h"
#include "net/redirectchain.h"
#include "runs/requeststep.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QUrl>

#include <algorithm>

namespace {

// An HTTP date as servers send it ("Sun, 06 Nov 1994 08:49:37 GMT"); invalid for anything else.
QDateTime httpDate(const QByteArray &text)
{
    QDateTime when =
        QLocale::c().toDateTime(QString::fromLatin1(text), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    when.setTimeSpec(Qt::UTC);
    return when;
}

} // namespace

namespace IndexNow {

bool isBulkEngine(const EngineSection &section)
{
    return engineField(section, EngineField::Method) == QLatin1String("indexnow");
}

bool usesKey(const EngineSection &section)
{
    return isBulkEngine(section) || engineField(section, EngineField::PostData).contains(QLatin1String("$KEY"));
}

QString authorityOf(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return {};
    QString authority = scheme + QStringLiteral("://") + parsed.host(QUrl::FullyEncoded).toLower();
    const int port = parsed.port();
    if (port >= 0 && port != (scheme == u"https" ? 443 : 80))
        authority += u':' + QString::number(port);
    return authority;
}

QString hostOf(const QString &authority)
{
    return QUrl(authority).host();
}

QString keyLocation(const QString &authority, const QString &key)
{
    return authority + u'/' + key + QStringLiteral(".txt");
}

QByteArray requestBody(const QString &host, const QString &key, const QString &location, const QStringList &urls)
{
    QJsonObject body;
    body.insert(QStringLiteral("host"), host);
    body.insert(QStringLiteral("key"), key);
    body.insert(QStringLiteral("keyLocation"), location);
    body.insert(QStringLiteral("urlList"), QJsonArray::fromStringList(urls));
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

bool accepts(int statusCode)
{
    return statusCode == 200 || statusCode == 202;
}

RequestResult readAnswer(RequestResult answer, const QByteArray &endpoint)
{
    if (answer.outcome == Outcome::Redirected) {
        // Where the endpoint points, as a whole address to put in the engine list.
        net::RedirectChain chain(endpoint);
        const QByteArray wanted = answer.location.toUtf8();
        answer.location = QString::fromUtf8(chain.follow(wanted).isEmpty() ? chain.current() : wanted);
        answer.outcome = Outcome::Moved;
        return answer;
    }
    const int code = statusCodeOf(answer.statusLine.toUtf8());
    if (answer.outcome == Outcome::Accepted && !accepts(code)) {
        answer.outcome = Outcome::Failed;
        answer.reason = answer.statusLine;
    }
    if (answer.outcome != Outcome::Failed)
        return answer;
    const QString meaning = meaningOf(code);
    if (!meaning.isEmpty())
        answer.reason = meaning + QStringLiteral(" (") + answer.reason + u')';
    if (code == 429)
        answer.outcome = Outcome::TooManyRequests;
    return answer;
}

QDateTime retryUntil(int statusCode, const QByteArray &retryAfter, const QDateTime &now)
{
    if ((statusCode != 429 && statusCode != 503) || retryAfter.isEmpty())
        return {};
    QDateTime until;
    const QByteArray value = retryAfter.trimmed();
    const bool number =
        !value.isEmpty() && std::all_of(value.cbegin(), value.cend(), [](char c) { return c >= '0' && c <= '9'; });
    if (number) {
        // Too many digits for a number is more than any cap: the cap it is.
        bool fits = false;
        const qlonglong seconds = value.toLongLong(&fits);
        until = now.addSecs(fits ? qMin<qint64>(seconds, MaxRetryAfterSeconds) : MaxRetryAfterSeconds);
    } else {
        until = httpDate(value);
    }
    if (!until.isValid() || until <= now)
        return {};
    // A server's clock or a hostile date never keeps the engine away for longer than a day.
    return qMin(until, now.addSecs(MaxRetryAfterSeconds)).toUTC();
}

QString meaningOf(int statusCode)
{
    switch (statusCode) {
    case 400:
        return QStringLiteral("bad request");
    case 403:
        return QStringLiteral("key not valid");
    case 422:
        return QStringLiteral("URLs not on the host, or key not matching");
    case 429:
        return QStringLiteral("too many requests: retry later");
    default:
        return {};
    }
}

} // namespace IndexNow
