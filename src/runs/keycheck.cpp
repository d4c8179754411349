#include "runs/keycheck.h"

#include "net/fetch.h"

namespace {

// A key file is a few dozen bytes; more than this cannot be one key.
constexpr qint64 KeyFileCap = 1024;

} // namespace

bool KeyFileCheck::redirected() const
{
    return !finalUrl.isEmpty() && finalUrl != location;
}

KeyFileCheck CheckIndexNowKeyFile(THTTPClient &http, const QString &location, const QString &key, int timeoutSeconds,
                                  const std::function<bool()> &stopRequested)
{
    net::FetchRequest request;
    request.url = location.toUtf8();
    request.timeoutSeconds = timeoutSeconds;
    request.keepBody = true;
    request.maxBytes = KeyFileCap;
    request.cutAtLimit = true;
    request.stopRequested = stopRequested;
    const net::FetchResult fetched = net::Fetch(http, request);

    KeyFileCheck check;
    check.location = location;
    if (!fetched.statusLine.isEmpty())
        check.finalUrl = fetched.redirected() ? QString::fromUtf8(fetched.finalUrl) : location;
    if (!fetched.ok()) {
        check.problem = fetched.text;
    } else if (fetched.statusCode != 200) {
        check.problem = QString::fromUtf8(fetched.statusLine);
    } else {
        QByteArray content = fetched.body;
        if (content.startsWith("\xEF\xBB\xBF"))
            content.remove(0, 3);
        // A file past the cap is no key file, whatever its first bytes are.
        if (fetched.cut || content.trimmed() != key.toUtf8())
            check.problem = QStringLiteral("the file does not hold the key");
    }
    return check;
}
