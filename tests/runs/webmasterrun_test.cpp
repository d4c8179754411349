// Google's Search Console and Bing's webmaster API in the submission and search
// runs, beside an IndexNow engine: the fakes play the APIs over TLS on loopback.

#include "project/store/enginestate.h"
#include "runs/runsummary.h"
#include "runs/sitemapimport.h"
#include "support/runs/farmrun.h"
#include "support/scopedenvironment.h"
#include "support/testcertificates.h"
#include "support/webmasterbingfake.h"
#include "support/webmastergooglefake.h"
#include "support/webmastergooglekey.h"
#include "support/webmastertlsserver.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QJsonObject>

using qctest::GoogleServiceAccountKey;
using qctest::TlsServer;
using qctest::verifyRs256;

namespace {

const QString IndexNowKey = QStringLiteral("fedcba9876543210fedcba9876543210");

// A project on the engine farm's site with an IndexNow engine (E1), Google (E2)
// and Bing (E3), their fakes trusted through the tests' CA, and one clock for the
// run and Google.
class WebmasterRun : public qctest::FarmRunTest
{
protected:
    static void SetUpTestSuite()
    {
        certificates = new qctest::TestCertificates;
        key = new GoogleServiceAccountKey;
        if (!certificates->make())
            failure = certificates->lastError();
        else if (!key->make())
            failure = key->lastError();
    }
    static void TearDownTestSuite()
    {
        delete certificates;
        delete key;
    }

    void SetUp() override
    {
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        FarmRunTest::SetUp();
        ASSERT_TRUE(google.started());
        ASSERT_TRUE(bing.start()) << bing.lastError().toStdString();
        fake.clientEmail = GoogleServiceAccountKey::ClientEmail;
        fake.keyId = GoogleServiceAccountKey::KeyId;
        fake.tokenUrl = google.url("/token");
        fake.clock = [this] { return nowMs / 1000; };
        fake.verifySignature = [](const QByteArray &input, const QByteArray &signature) {
            return verifyRs256(key->publicKeyPem(), input, signature);
        };
        bing.setSite(site("/"));
        bing.setQuota(2, 100);
        farm.server().addFile(IndexNowKey + ".txt", IndexNowKey.toUtf8() + "\n");

        ProjectSettings &s = setup.settings;
        s.indexNowKey = IndexNowKey;
        goodKeyFile = key->writeKeyFile("key.json", key->fields(google.url("/token")));
        s.googleKeyFile = goodKeyFile;
        s.googleProperty = site("/");
        s.bingKeyFile = QStringLiteral("bing.key"); // in the base directory
        qctest::writeFile(base.file("bing.key"), bing.apiKey() + "\n");
        QFile::setPermissions(base.file("bing.key"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        setup.pace.clockMs = [this] { return nowMs; };

        qctest::FarmEngine indexNow = engine("indexnow.cgi", "E1");
        indexNow.method = "indexnow";
        qctest::FarmEngine searchConsole = apiEngine("searchconsole", google.url("/webmasters/v3"),
                                                     google.url("/v1/urlInspection/index:inspect"), "E2");
        qctest::FarmEngine bingApi = apiEngine("bingwebmaster", bing.base(), bing.base(), "E3");
        urls = QStringList{site("/a"), site("/b"), site("/c")};
        prepare({{"IndexNow", indexNow}, {"Google", searchConsole}, {"Bing", bingApi}}, urls);
        EngineState(*table).setSitemaps(ProjectId, {site("/sitemap.xml"), QStringLiteral("/srv/site/sitemap.xml")});
    }

    static qctest::FarmEngine apiEngine(const QByteArray &kind, const QByteArray &action, const QByteArray &search,
                                        const QByteArray &column)
    {
        qctest::FarmEngine made;
        made.action = action;
        made.method = kind;
        made.postData = kind;
        made.searchAction = search;
        made.searchPostData = kind;
        made.searchNone = "none";
        made.column = column;
        return made;
    }

    // The tally of the engine named: the catalogue keeps its own order.
    static EngineTally of(const QList<EngineTally> &tally, const QString &engine)
    {
        for (const EngineTally &t : tally)
            if (t.engine == engine)
                return t;
        ADD_FAILURE() << "no engine " << engine.toStdString();
        return {};
    }

    QString site(const QString &path) const { return QString::fromUtf8(farm.url(path.toUtf8())); }

    // Every secret of the run, and where one must never appear: each file the run wrote and each line it told.
    void expectNoSecretLeft(const QList<EngineTally> &submission, const QList<EngineTally> &search)
    {
        QList<QByteArray> secrets = fake.tokens() + fake.assertions();
        secrets << bing.apiKey() << key->privateKeyPem().split('\n').value(1);
        QList<std::pair<QString, QByteArray>> places;
        QDirIterator files(setup.projectDir, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            places.append({path, qctest::readFile(path)});
        }
        EXPECT_FALSE(places.isEmpty());
        places.append({"status log", observer.texts().join('\n').toUtf8()});
        places.append({"summary", RunSummary(submission, search).toUtf8()});
        for (const QByteArray &secret : secrets)
            for (const auto &[where, text] : places)
                EXPECT_FALSE(text.contains(secret)) << where.toStdString() << " holds " << secret.toStdString();
    }

    static inline qctest::TestCertificates *certificates = nullptr;
    static inline GoogleServiceAccountKey *key = nullptr;
    static inline QString failure;

    qctest::ScopedEnvironment env{
        qctest::ScopedEnvironment::withoutProxies({{"SSL_CERT_FILE", QFile::encodeName(certificates->caFile())}})};
    qctest::GoogleFake fake;
    TlsServer google{certificates->serverPem(), [this](const QByteArray &request) { return fake.answer(request); }};
    qctest::WebmasterBingFake bing{certificates->serverPem()};
    qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    QStringList urls;
    QString goodKeyFile;
};

TEST_F(WebmasterRun, NewPagesGoToIndexNowGoogleAndBingInOneRunWithinBingsQuota)
{
    const QList<EngineTally> tally = submit();

    EXPECT_EQ(flags("E1"), QList<bool>({false, false, false}));
    EXPECT_EQ(fake.sitemaps(), QList<QByteArray>{(site("/") + ' ' + site("/sitemap.xml")).toUtf8()});
    EXPECT_EQ(flags("E2"), QList<bool>({false, false, false})) << "the accepted sitemap covers every URL";
    ASSERT_EQ(bing.batches().size(), 1);
    EXPECT_EQ(bing.batches().at(0).urls, urls.mid(0, 2));
    EXPECT_EQ(flags("E3"), QList<bool>({false, false, true})) << "the URL past the quota waits";

    EXPECT_EQ(of(tally, "Google").accepted, 3);
    EXPECT_EQ(of(tally, "Bing").accepted, 2);
    EXPECT_EQ(of(tally, "Bing").limited, 1);
    EXPECT_FALSE(anyRequestFailed(tally)) << "a quota is no failure";
    const QString lines = observer.texts().join('\n');
    EXPECT_TRUE(lines.contains("Google: the sitemap file /srv/site/sitemap.xml is not submitted"))
        << lines.toStdString();
    EXPECT_TRUE(
        lines.contains("Bing: 1 URL waits for the next run (Bing's quota for " + site("/") + " allows 2 more today)"));
    EXPECT_TRUE(reportRows().contains("Google: 3 URLs of " + site("/").toUtf8() +
                                      ": accepted (Search Console took the sitemap " + site("/sitemap.xml").toUtf8()));

    // The next run sends Bing only the URL that waited.
    bing.setQuota(5, 100);
    submit();
    ASSERT_EQ(bing.batches().size(), 2);
    EXPECT_EQ(bing.batches().at(1).urls, QStringList{urls.at(2)});
    EXPECT_EQ(fake.sitemaps().size(), 1) << "nothing was left for Google";
    expectNoSecretLeft(tally, {});
}

TEST_F(WebmasterRun, TheSearchTellsWhatIsIndexedWithinTheDaysQuotaAndGoesOnWithTheLongestUnasked)
{
    setup.pace.inspectionsPerDay = 2;
    fake.indexStatus.insert(site("/a").toUtf8(), {{"verdict", "PASS"}, {"coverageState", "Submitted and indexed"}});
    fake.indexStatus.insert(site("/b").toUtf8(),
                            {{"verdict", "NEUTRAL"}, {"coverageState", "Discovered - currently not indexed"}});
    bing.setUrlInfo(site("/b"), QDateTime(QDate(2026, 1, 5), QTime(10, 0), Qt::UTC), 200);
    const QList<EngineTally> tally = search();

    const QByteArray property = site("/").toUtf8() + ' ';
    EXPECT_EQ(fake.inspected(), QList<QByteArray>({property + site("/a").toUtf8(), property + site("/b").toUtf8()}));
    EXPECT_EQ(of(tally, "Google").accepted, 2);
    EXPECT_EQ(of(tally, "Google").notListed, 1);
    EXPECT_EQ(of(tally, "Google").limited, 1);
    EXPECT_EQ(of(tally, "Bing").notListed, 2) << "Bing knows only /b";
    EXPECT_FALSE(anyRequestFailed(tally));
    EXPECT_TRUE(observer.texts().contains("Google: 1 URL waits for tomorrow's quota (2 inspections a day for " +
                                          site("/") + ", and today's are used)"));
    EXPECT_EQ(qctest::readFile(projectFile("None_Google.txt")), site("/b").toUtf8() + "\r\n");
    EXPECT_EQ(qctest::readFile(projectFile("None_Bing.txt")), (site("/a") + "\r\n" + site("/c") + "\r\n").toUtf8());
    const QByteArray report = qctest::readFile(projectFile("SearchLog.htm"));
    EXPECT_TRUE(report.contains("</a> (Discovered - currently not indexed)</td>")) << report.toStdString();
    EXPECT_TRUE(report.contains("</a> (Submitted and indexed)</td>"));
    EXPECT_TRUE(RunSummary({}, tally).contains("Google: 2 URLs asked about, 1 not listed, 0 could not be asked, 0 "
                                               "timed out, 1 wait for the engine's quota"));
    expectNoSecretLeft({}, tally);

    // The same day has nothing left; the next day starts with the URL never asked.
    search();
    EXPECT_EQ(fake.inspected().size(), 2);
    nowMs += 24 * 3600 * 1000;
    search();
    ASSERT_EQ(fake.inspected().size(), 4);
    EXPECT_EQ(fake.inspected().mid(2),
              QList<QByteArray>({property + site("/c").toUtf8(), property + site("/a").toUtf8()}));
}

TEST_F(WebmasterRun, TheMinutesInspectionsSpentTheRunWaitsAndStopEndsTheWait)
{
    setup.pace.inspectionsPerMinute = 1;
    setup.settings.chosenEngines = {"Google"};
    observer.onStatus = [this](const QString &text, StatusKind) {
        if (text.startsWith("Google: 1 inspections a minute are sent; waiting "))
            control.stop();
    };
    search();
    EXPECT_EQ(fake.inspected().size(), 1);
    EXPECT_TRUE(observer.texts().contains("Search project was stopped by the user"));
}

TEST_F(WebmasterRun, WithPageChecksANoindexPageStaysOutAndAnUnchangedSiteSendsNothing)
{
    setup.checkPages = true;
    bing.setQuota(5, 100);
    const QByteArray head = "<!DOCTYPE html><html><head><title>t</title>";
    farm.server().addFile("a.html", head + "</head><body><p>A</p></body></html>\n");
    farm.server().addFile("b.html", head + "<meta name=\"robots\" content=\"noindex\"></head><body></body></html>\n");
    farm.server().addFile("c.html", head + "</head><body><p>C</p></body></html>\n");
    urls = QStringList{site("/a.html"), site("/b.html"), site("/c.html")};
    table->replaceProjectUrls(ProjectId, urls);
    EngineState(*table).setSitemaps(ProjectId, {site("/sitemap.xml")});

    const QList<EngineTally> tally = submit();
    ASSERT_EQ(bing.batches().size(), 1) << observer.texts().join('\n').toStdString();
    EXPECT_EQ(bing.batches().at(0).urls, QStringList({urls.at(0), urls.at(2)}));
    EXPECT_EQ(of(tally, "Bing").notIndexable, 1);
    EXPECT_EQ(of(tally, "Google").notIndexable, 1);
    EXPECT_EQ(of(tally, "Google").accepted, 2);
    for (const char *column : {"E1", "E2", "E3"})
        EXPECT_EQ(flags(column), QList<bool>({false, true, false})) << column << ": the noindex page waits";
    EXPECT_TRUE(observer.texts().contains("Not submitted, noindex (meta robots): " + urls.at(1)));

    // Nothing changed: Bing gets no batch and Search Console no sitemap.
    EXPECT_FALSE(anyRequestFailed(submit()));
    EXPECT_EQ(bing.batches().size(), 1);
    EXPECT_EQ(fake.sitemaps().size(), 1);
}

TEST_F(WebmasterRun, ADownloadedListSendsNoKeyOrTokenBeyondTheServicesOwnHostsAndTheOwnersListDoes)
{
    // The list the fakes are in, served over http and downloaded before each run: an attacker's list.
    farm.server().addFile("lists/auto.txt", qctest::readFile(setup.autoListPath));
    setup.settings.downloadEngines = true;
    setup.autoListUrl = QString::fromUtf8(farm.url("/lists/auto.txt"));
    setup.manualListUrl = QString::fromUtf8(farm.url("/lists/missing.txt"));
    const QList<EngineTally> submitted = submit();
    const QList<EngineTally> searched = search();

    EXPECT_EQ(fake.requests(), 0);
    EXPECT_TRUE(bing.requests().isEmpty());
    for (const auto &[engine, secret] : {std::pair{"Google", "the Google access token"}, {"Bing", "the Bing API key"}})
        for (const QList<EngineTally> &tally : {submitted, searched}) {
            EXPECT_EQ(of(tally, engine).failed, 3) << engine;
            EXPECT_EQ(of(tally, engine).firstFailure,
                      QStringLiteral("The engine list engines205.txt was downloaded and sends %1 to 127.0.0.1, which "
                                     "is no host of %2's; nothing is sent (an address of your own belongs in a list "
                                     "kept locally, with the download off)")
                          .arg(secret, engine));
        }
    EXPECT_EQ(flags("E1"), QList<bool>({false, false, false})) << "IndexNow takes part as ever";
    EXPECT_EQ(flags("E2"), QList<bool>({true, true, true}));

    // The owner takes the list over: edited here, not downloaded, it is the owner's word.
    setup.settings.downloadEngines = false;
    qctest::writeFile(setup.autoListPath, qctest::readFile(setup.autoListPath) + "\r\n");
    submit();
    EXPECT_EQ(fake.sitemaps().size(), 1);
    EXPECT_EQ(bing.batches().size(), 1);
}

TEST_F(WebmasterRun, GoogleTakesOnlyTheUrlsOfTheSitemapAddressesItIsGiven)
{
    setup.settings.chosenEngines = {"Google"};
    const auto urlset = [](const QStringList &locs) {
        QByteArray xml = "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">";
        for (const QString &loc : locs)
            xml += "<url><loc>" + loc.toUtf8() + "</loc></url>";
        return xml + "</urlset>\n";
    };
    farm.server().addFile("sitemap.xml", urlset({urls.at(0), urls.at(1)}));
    qctest::writeFile(base.file("local.xml"), urlset({urls.at(1), urls.at(2)}));
    SitemapImport import(http, base.path());
    ASSERT_TRUE(import.importInto(*table, ProjectId, {site("/sitemap.xml"), base.file("local.xml")}).readable());

    const QList<EngineTally> tally = submit();
    EXPECT_EQ(fake.sitemaps(), QList<QByteArray>{(site("/") + ' ' + site("/sitemap.xml")).toUtf8()});
    EXPECT_EQ(flags("E2"), QList<bool>({false, false, true})) << "only the local file lists /c";
    EXPECT_EQ(of(tally, "Google").accepted, 2);
    EXPECT_EQ(of(tally, "Google").failed, 1);
    EXPECT_TRUE(
        of(tally, "Google").firstFailure.startsWith("only the sitemap file " + base.file("local.xml") + " lists them"));
}

TEST_F(WebmasterRun, EachMistakeIsToldByItsOutcomeAndNoUrlIsMarkedDone)
{
    const struct
    {
        const char *name;
        std::function<void()> make;
        const char *engine;
        bool failure;    // or a quota
        QString message; // a part of the first failure, or of the status log for a quota
    } cases[] = {
        {"missing key file", [this] { setup.settings.googleKeyFile = base.file("absent.json"); }, "Google", true,
         "cannot be read"},
        {"key file readable by others",
         [this] {
             setup.settings.googleKeyFile =
                 key->writeKeyFile("open.json", key->fields(google.url("/token")),
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
         },
         "Google", true, "may be read by others"},
        {"wrong property", [this] { fake.forbiddenProperties.insert(site("/")); }, "Google", true,
         "add the service account to the property as a user"},
        {"refused token", [this] { fake.keyId = "another-key"; }, "Google", true,
         "the token exchange was refused: Invalid JWT: the header does not name this account's RS256 key."},
        {"no sitemap address", [this] { EngineState(*table).setSitemaps(ProjectId, {}); }, "Google", true,
         "import one with /sitemap"},
        {"Bing key refused", [this] { bing.setApiKey("another-key-0123456789"); }, "Bing", true, "API key"},
        {"Bing quota used up", [this] { bing.setQuota(0, 100); }, "Bing", false, "Bing: 3 URLs wait for the next run"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        setup.settings.chosenEngines = {c.engine};
        observer.lines.clear();
        setup.settings.googleKeyFile = goodKeyFile;
        fake.forbiddenProperties.clear();
        bing.setApiKey(qctest::readFile(base.file("bing.key")).trimmed());
        c.make();
        const QList<EngineTally> tally = submit();
        const EngineTally engine = of(tally, c.engine);
        EXPECT_EQ(anyRequestFailed(tally), c.failure);
        if (c.failure) {
            EXPECT_EQ(engine.failed, 3);
            EXPECT_TRUE(engine.firstFailure.contains(c.message)) << engine.firstFailure.toStdString();
            EXPECT_TRUE(RunSummary(tally, {}).contains(c.message));
        } else {
            EXPECT_EQ(engine.limited, 3);
            EXPECT_TRUE(observer.texts().join('\n').contains(c.message)) << observer.texts().join('\n').toStdString();
        }
        EXPECT_EQ(flags("E2"), QList<bool>({true, true, true}));
        EXPECT_EQ(flags("E3"), QList<bool>({true, true, true}));
        expectNoSecretLeft(tally, {});
    }
    EXPECT_TRUE(fake.sitemaps().isEmpty());
    EXPECT_TRUE(bing.batches().isEmpty());
}

} // namespace
