#include <gtest/gtest.h>

#include "webmaster/secretdestination.h"

using webmaster::credentialRefusal;
using webmaster::CredentialService;

namespace {

TEST(SecretDestination, ADownloadedListReachesOnlyTheServicesOwnHostsOverHttps)
{
    const struct
    {
        const char *behaviour;
        QByteArray address;
        CredentialService service;
        bool downloaded;
        QString refusal; // a part of it; "" when the credential may go
    } cases[] = {
        {"Google's own API", "https://www.googleapis.com/webmasters/v3", CredentialService::Google, true, ""},
        {"the inspection host", "https://SearchConsole.googleapis.com/v1/x", CredentialService::Google, true, ""},
        {"Bing's own API", "https://ssl.bing.com/webmaster/api.svc/json", CredentialService::Bing, true, ""},
        {"another host", "https://evil.example/webmasters/v3", CredentialService::Google, true,
         "The engine list engines205.txt was downloaded and sends the Google access token to evil.example, which is "
         "no host of Google's"},
        {"Google's host for Bing's key", "https://www.googleapis.com/", CredentialService::Bing, true,
         "the Bing API key to www.googleapis.com"},
        {"a user name that looks like the host", "https://ssl.bing.com@evil.example/", CredentialService::Bing, true,
         "to ssl.bing.com@evil.example,"},
        {"the service's host on another port", "https://ssl.bing.com:8443/", CredentialService::Bing, true,
         "to ssl.bing.com,"},
        {"a host that ends like the service's", "https://ssl.bing.com.evil.example/", CredentialService::Bing, true,
         "to ssl.bing.com.evil.example,"},
        {"clear text to the service's host", "http://ssl.bing.com/", CredentialService::Bing, true,
         "to http://ssl.bing.com/, which is no https:// address"},
        {"the owner's host in the owner's list", "https://api.lee.example:8443/", CredentialService::Google, false, ""},
        {"clear text in the owner's list", "http://api.lee.example/", CredentialService::Google, false,
         "no https:// address"},
        {"the configured test server", "https://test.lee.example:9443/", CredentialService::Google, true, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        const QString why =
            credentialRefusal(c.address, c.service, {"engines205.txt", c.downloaded, "http://test.lee.example:8080"});
        EXPECT_EQ(why.isEmpty(), c.refusal.isEmpty()) << why.toStdString();
        EXPECT_TRUE(why.contains(c.refusal)) << why.toStdString();
    }
}

} // namespace
