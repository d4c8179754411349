// IndexNow engines in the submission run: the key file check, the bulk JSON
// form and what each answer means, and $KEY in an ordinary form.

#include "runs/indexnow.h"
#include "support/connectproxy.h"
#include "support/runs/farmrun.h"
#include "support/scopedenvironment.h"
#include "support/testcertificates.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString Key = QStringLiteral("0123456789abcdef0123456789abcdef");

class IndexNowRun : public qctest::FarmRunTest
{
protected:
    // The farm's own address as a site, and a second site on another port that publishes nothing.
    QString site(const QString &path) const { return QString::fromUtf8(farm.url(path.toUtf8())); }
    QString otherSite(const QString &path) const { return QStringLiteral("http://127.0.0.1:9") + path; }

    qctest::FarmEngine bulk(const QByteArray &status) const
    {
        qctest::FarmEngine made = engine("indexnow.cgi?status=" + status, "E1");
        made.method = "indexnow";
        return made;
    }

    void publishKey() { farm.server().addFile(Key + QStringLiteral(".txt"), Key.toUtf8() + "\n"); }

    QList<qctest::FarmRequest> indexNowRequests() const
    {
        QList<qctest::FarmRequest> found;
        for (const qctest::FarmRequest &r : farm.received())
            if (r.script == "indexnow.cgi")
                found << r;
        return found;
    }
};

TEST_F(IndexNowRun, ABulkRequestPerHostCarriesTheUrlsWhoseHostPublishesTheKey)
{
    publishKey();
    setup.settings.indexNowKey = Key;
    prepare({{"Bulk", bulk("202")}}, {site("/a"), otherSite("/x"), site("/b")});
    const QList<EngineTally> tally = submit();

    const QList<qctest::FarmRequest> got = indexNowRequests();
    ASSERT_EQ(got.size(), 1);
    EXPECT_TRUE(got.at(0).headers.contains("Content-Type: application/json; charset=utf-8"));
    const QJsonObject body = QJsonDocument::fromJson(got.at(0).body).object();
    EXPECT_EQ(body.value("host").toString(), "127.0.0.1");
    EXPECT_EQ(body.value("key").toString(), Key);
    EXPECT_EQ(body.value("keyLocation").toString(), site("/" + Key + ".txt"));
    EXPECT_EQ(body.value("urlList").toArray(), QJsonArray({site("/a"), site("/b")}));
    // Accepted URLs are done; the other site's URL waits for its key file.
    EXPECT_EQ(flags("E1"), QList<bool>({false, true, false}));
    EXPECT_EQ(tally.at(0).accepted, 2);
    EXPECT_EQ(tally.at(0).keyMissing, 1);
    EXPECT_TRUE(observer.texts().join('\n').contains("is not published"));
    EXPECT_TRUE(reportRows().contains("IndexNow: 2 URLs of 127.0.0.1: accepted (HTTP/1.0 202 Accepted)"));
}

TEST_F(IndexNowRun, RefusalsKeepTheUrlsAndSayWhatTheProtocolMeans)
{
    publishKey();
    setup.settings.indexNowKey = Key;
    const struct
    {
        QByteArray status;
        const char *meaning;
    } cases[] = {{"400", "bad request"},
                 {"403", "key not valid"},
                 {"422", "URLs not on the host or key not matching"},
                 {"429", "too many requests"}};
    int sent = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status.toStdString());
        observer = {};
        table->deleteProject(ProjectId);
        setup.settings.chosenEngines.clear();
        prepare({{"Bulk", bulk(c.status)}}, {site("/a"), QStringLiteral("http://localhost:%1/b").arg(farm.server().port())});
        submit();
        const qsizetype requests = indexNowRequests().size() - sent;
        sent = int(indexNowRequests().size());
        // Two hosts: after a 429 the engine is asked nothing more.
        EXPECT_EQ(requests, c.status == "429" ? 1 : 2);
        EXPECT_EQ(flags("E1"), QList<bool>({true, true}));
        EXPECT_TRUE(observer.texts().join('\n').contains(QLatin1String(c.meaning)));
    }
}

TEST_F(IndexNowRun, KeyInAnOrdinaryFormAndNoKeyAtAll)
{
    publishKey();
    qctest::FarmEngine oneUrl = engine("accept.cgi", "E1");
    oneUrl.method = "get";
    oneUrl.postData = "url=$URL&key=$KEY";
    setup.settings.indexNowKey = QStringLiteral("short");
    prepare({{"OneUrl", oneUrl}}, {site("/a")});
    submit();
    EXPECT_TRUE(farm.received().isEmpty()) << "no valid key: nothing goes to an engine that needs one";
    EXPECT_EQ(flags("E1"), QList<bool>({true}));

    setup.settings.indexNowKey = Key;
    submit();
    ASSERT_EQ(farm.received().size(), 1);
    EXPECT_TRUE(farm.received().at(0).requestLine.contains("&key=" + Key.toUtf8() + " "));
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
}

// The same farm over https, its certificate signed by the tests' own CA.
class IndexNowOverHttps : public IndexNowRun
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(certificates.make()) << certificates.lastError().toStdString();
        farm.server().useTls(certificates.serverPem());
        IndexNowRun::SetUp();
    }
    qctest::TestCertificates certificates;
};

TEST_F(IndexNowOverHttps, TheKeyCheckAndTheBulkRequestGoOverVerifiedTlsDirectlyAndThroughAProxy)
{
    qctest::ScopedEnvironment trust(
        qctest::ScopedEnvironment::withoutProxies({{"SSL_CERT_FILE", certificates.caFile().toUtf8()}}));
    publishKey();
    setup.settings.indexNowKey = Key;
    prepare({{"Bulk", bulk("200")}}, {site("/a")});
    ASSERT_TRUE(site("/a").startsWith("https://"));
    submit();
    ASSERT_EQ(indexNowRequests().size(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(indexNowRequests().at(0).body).object().value("keyLocation").toString(),
              site("/" + Key + ".txt"));
    EXPECT_EQ(flags("E1"), QList<bool>({false}));

    // A new page, and both requests (key file, bulk) through the proxy's tunnel.
    qctest::ConnectProxy proxy;
    ASSERT_TRUE(proxy.start(2));
    qctest::ScopedEnvironment viaProxy({{"https_proxy", proxy.url()}});
    table->addUrl(ProjectId, site("/b"));
    submit();
    EXPECT_EQ(proxy.served(), 2);
    EXPECT_TRUE(proxy.requestHead(0).startsWith("CONNECT 127.0.0.1:"));
    ASSERT_EQ(indexNowRequests().size(), 2);
    EXPECT_EQ(QJsonDocument::fromJson(indexNowRequests().at(1).body).object().value("urlList").toArray(),
              QJsonArray({site("/b")}));
    EXPECT_EQ(flags("E1"), QList<bool>({false, false}));
}

TEST(IndexNowParts, AuthoritiesAndKeyLocations)
{
    EXPECT_EQ(IndexNow::authorityOf("https://Example.ORG/a?b"), "https://example.org");
    EXPECT_EQ(IndexNow::authorityOf("http://example.org:8080/"), "http://example.org:8080");
    EXPECT_EQ(IndexNow::authorityOf("https://example.org:443/"), "https://example.org");
    EXPECT_EQ(IndexNow::authorityOf("ftp://example.org/"), "");
    EXPECT_EQ(IndexNow::keyLocation("https://example.org", "k3y"), "https://example.org/k3y.txt");
    EXPECT_TRUE(ProjectSettings::isValidIndexNowKey(ProjectSettings::generateIndexNowKey()));
    EXPECT_FALSE(ProjectSettings::isValidIndexNowKey("seven77"));
    EXPECT_FALSE(ProjectSettings::isValidIndexNowKey("has_underscore"));
}

} // namespace
