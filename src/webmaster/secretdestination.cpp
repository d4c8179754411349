#include "webmaster/secretdestination.h"

#include "net/httprequest.h"

namespace webmaster {

namespace {

QString credentialName(CredentialService service)
{
    return service == CredentialService::Google ? QStringLiteral("the Google access token")
                                                : QStringLiteral("the Bing API key");
}

QString serviceName(CredentialService service)
{
    return service == CredentialService::Google ? QStringLiteral("Google") : QStringLiteral("Bing");
}

} // namespace

QStringList documentedHosts(CredentialService service)
{
    if (service == CredentialService::Google)
        return {QStringLiteral("oauth2.googleapis.com"), QStringLiteral("www.googleapis.com"),
                QStringLiteral("searchconsole.googleapis.com")};
    return {QStringLiteral("ssl.bing.com")};
}

QString credentialRefusal(const QByteArray &address, CredentialService service, const CredentialSource &source)
{
    // The address is split by the client's own rule, so that the host judged is the host connected to.
    HttpRequestFields fields;
    fields.assignUrl(address);
    const QString host = QString::fromLatin1(fields.URLServer.left(200)).toLower();
    if (!address.startsWith("https://") || host.isEmpty())
        return QStringLiteral("The engine list %1 sends %2 to %3, which is no https:// address; nothing is sent")
            .arg(source.listName, credentialName(service), QString::fromLatin1(address.left(200)));
    if (!source.downloaded)
        return {};
    if (fields.URLPort == 443 && documentedHosts(service).contains(host))
        return {};
    if (!source.testServer.isEmpty()) {
        HttpRequestFields testServer;
        testServer.assignUrl(source.testServer.toUtf8());
        if (QString::fromLatin1(testServer.URLServer).toLower() == host)
            return {};
    }
    return QStringLiteral("The engine list %1 was downloaded and sends %2 to %3, which is no host of %4's; nothing "
                          "is sent (an address of your own belongs in a list kept locally, with the download off)")
        .arg(source.listName, credentialName(service), host, serviceName(service));
}

} // namespace webmaster
