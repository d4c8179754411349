// IndexNow engines in the submission run: the key file check, the bulk JSON
// form and what each answer means, and $KEY in an ordinary form.

#include "runs/indexnow.h"
#include "runs/runsummary.h"
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

TEST_F(IndexNowRun, AnythingBut200Or202KeepsTheUrlsAndSaysWhatItMeansPerUrl)
{
    publishKey();
    setup.settings.indexNowKey = Key;
    const struct
    {
        QByteArray endpoint;
        QString why; // the failure as the status line, the report and the summary tell it
    } cases[] = {
        {"indexnow.cgi?status=400", "bad request (HTTP/1.0 400 Bad Request)"},
        {"indexnow.cgi?status=403", "key not valid (HTTP/1.0 403 Forbidden)"},
        {"indexnow.cgi?status=422", "URLs not on the host, or key not matching (HTTP/1.0 422 Unprocessable Entity)"},
        {"indexnow.cgi?status=429", "too many requests: retry later (HTTP/1.0 429 Too Many Requests)"},
        {"indexnow.cgi?status=204", "HTTP/1.0 204 "},
        {"redirect.cgi", "the endpoint moved to http://127.0.0.1/thanks.html; update the engine list"},
    };
    const QString otherHost = QStringLiteral("http://localhost:%1/b").arg(farm.server().port());
    qsizetype sent = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.endpoint.toStdString());
        observer = {};
        table->deleteProject(ProjectId);
        setup.settings.chosenEngines.clear();
        qctest::FarmEngine refusing = engine(c.endpoint, "E1");
        refusing.method = "indexnow";
        prepare({{"Bulk", refusing}}, {site("/a"), otherHost, site("/c")});
        const EngineTally tally = submit().at(0);
        const qsizetype requests = farm.received().size() - sent;
        sent = farm.received().size();
        const bool tooMany = c.endpoint.endsWith("429");
        // A request per host; after a 429 the engine is asked nothing more.
        EXPECT_EQ(requests, tooMany ? 1 : 2);
        EXPECT_EQ(flags("E1"), QList<bool>({true, true, true}));
        // Counted in URLs: the first request carried two.
        EXPECT_EQ(tally.sent, tooMany ? 2 : 3);
        EXPECT_EQ(tally.failed, tally.sent);
        EXPECT_TRUE(anyRequestFailed({tally}));
        EXPECT_TRUE(tally.firstFailure.startsWith(c.why)) << tally.firstFailure.toStdString();
        EXPECT_TRUE(
            RunSummary({tally}, {})
                .contains(
                    QStringLiteral(
                        "  Bulk: %1 URLs sent, 0 accepted, %1 failed, 0 timed out, 0 left for the next run by the "
                        "engine's limit; first failure: %2")
                        .arg(tally.sent)
                        .arg(c.why)));
        EXPECT_TRUE(observer.texts(StatusKind::Failure).join('\n').contains("IndexNow: 2 URLs of 127.0.0.1: " + c.why));
        EXPECT_TRUE(reportRows().contains(">" + site("/c").toUtf8() + "</a></li>")) << "the row lists its URLs";
    }
}

TEST_F(IndexNowRun, StopSkipEngineAndTheLimitLeaveWhatWasNotAcceptedToTheNextRun)
{
    publishKey();
    setup.settings.indexNowKey = Key;
    const QString otherHost = QStringLiteral("http://localhost:%1/b").arg(farm.server().port());
    qctest::FarmEngine slow = engine("slow.cgi?slow", "E1"); // holds its answer back
    slow.method = "indexnow";
    qctest::FarmEngine limited = bulk("200");
    limited.column = "E2";
    limited.maxSubmit = 1;
    // In the list's order: the slow engine, then the limited one.
    prepare({{"Bulk", slow}, {"Capped", limited}}, {site("/a"), otherHost, site("/c")});

    // Skip Engine during the first host's request: the second host is not sent, the next engine runs.
    whenReceived(1, [&] { control.skipEngine(); });
    QList<EngineTally> tally = submit();
    const QList<qctest::FarmRequest> got = farm.received();
    EXPECT_EQ(
        std::count_if(got.cbegin(), got.cend(), [](const qctest::FarmRequest &r) { return r.script == "slow.cgi"; }),
        1);
    EXPECT_EQ(tally.at(0).sent, 2);
    EXPECT_EQ(tally.at(0).skipped, 2);
    EXPECT_EQ(observer.texts().count("Skipped engine: Bulk"), 1);
    // The limit of one URL: the first host's first URL goes, the rest waits for the next run.
    ASSERT_EQ(indexNowRequests().size(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(indexNowRequests().at(0).body).object().value("urlList").toArray(),
              QJsonArray({site("/a")}));
    EXPECT_EQ(tally.at(1).accepted, 1);
    EXPECT_EQ(tally.at(1).limited, 2);
    EXPECT_EQ(flags("E1"), QList<bool>({true, true, true}));
    EXPECT_EQ(flags("E2"), QList<bool>({false, true, true}));

    // Stop during the request: nothing more is sent, by this engine or the next.
    observer = {};
    const qsizetype before = farm.received().size();
    whenReceived(int(before) + 1, [&] { control.stop(); });
    tally = submit();
    EXPECT_EQ(farm.received().size(), before + 1);
    EXPECT_EQ(tally.at(0).skipped, 2);
    EXPECT_EQ(tally.at(1).sent, 0);
    EXPECT_FALSE(observer.texts().contains("Processing: Capped"));
    EXPECT_EQ(flags("E1"), QList<bool>({true, true, true}));
}

TEST_F(IndexNowRun, AKeyFileFoundAfterARedirectIsANoticeNotAFailure)
{
    // lighttpd sends a request for a directory to the same path with a "/": the key is found one redirect on.
    farm.server().addFile(Key + QStringLiteral(".txt/index.html"), Key.toUtf8());
    setup.settings.indexNowKey = Key;
    prepare({{"Bulk", bulk("202")}}, {site("/a")});
    const EngineTally tally = submit().at(0);
    EXPECT_EQ(tally.accepted, 1);
    EXPECT_FALSE(anyRequestFailed({tally}));
    const QString notice = "IndexNow: the key file of 127.0.0.1 is published at " + site("/" + Key + ".txt/") +
                           " after a redirect; an engine may not follow it";
    EXPECT_TRUE(observer.texts(StatusKind::Plain).contains(notice));
    EXPECT_TRUE(reportRows().contains(notice.toUtf8()));
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
    // The heads are kept as each tunnel opens; the proxy's own count of
    // connections done may trail the client's end of the second one.
    EXPECT_TRUE(proxy.requestHead(0).startsWith("CONNECT 127.0.0.1:"));
    EXPECT_TRUE(proxy.requestHead(1).startsWith("CONNECT 127.0.0.1:"));
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

TEST(IndexNowParts, RetryAfterKeepsTheEngineAwayForAtMostADay)
{
    const QDateTime now(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC);
    const struct
    {
        const char *behaviour;
        int status;
        QByteArray retryAfter;
        QDateTime until;
    } cases[] = {
        {"seconds", 429, "120", now.addSecs(120)},
        {"an HTTP date", 503, "Sat, 01 Mar 2025 13:30:00 GMT", now.addSecs(90 * 60)},
        {"more than a day is a day", 429, "999999999999", now.addDays(1)},
        {"more digits than a number holds is a day", 429, "99999999999999999999999", now.addDays(1)},
        {"blanks around the seconds", 429, " 60 ", now.addSecs(60)},
        {"a date far ahead is a day", 429, "Fri, 01 Mar 2030 00:00:00 GMT", now.addDays(1)},
        {"a date gone by", 429, "Sat, 01 Mar 2025 11:00:00 GMT", {}},
        {"no number, no date", 429, "soon", {}},
        {"a negative number", 429, "-5", {}},
        {"another status", 500, "120", {}},
        {"none given", 429, "", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(IndexNow::retryUntil(c.status, c.retryAfter, now), c.until);
    }
}

} // namespace
