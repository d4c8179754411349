#include "webmaster/bingapikey.h"

#include "webmaster/secretfile.h"

namespace webmaster {

QString bingApiKeyProblem(const QByteArray &key)
{
    if (key.isEmpty())
        return QStringLiteral("holds no key");
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F)
            return QStringLiteral("holds no usable key: it has blanks, control characters or non-ASCII bytes inside");
    }
    return QString();
}

BingApiKey readBingApiKey(const QString &path)
{
    const QString what = QStringLiteral("The Bing API key file");
    SecretFile file = readSecretFile(path, what);
    BingApiKey result;
    if (!file.ok()) {
        result.problem = file.problem;
        return result;
    }
    QByteArray key = file.content;
    if (key.startsWith("\xEF\xBB\xBF"))
        key.remove(0, 3);
    key = key.trimmed();
    const QString problem = bingApiKeyProblem(key);
    if (!problem.isEmpty()) {
        result.problem = QStringLiteral("%1 %2 %3").arg(what, path, problem);
        return result;
    }
    result.key = key;
    return result;
}

} // namespace webmaster
