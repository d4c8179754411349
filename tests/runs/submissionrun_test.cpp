// The submission run against a local engine farm, watched by a recording observer.

#include "engines/enginelist.h"
#include "project/store/urlgridrows.h"
#include "runs/runsummary.h"
#include "runs/submissionrun.h"
#include "runs/webmasterengines.h"
#include "support/runs/farmrun.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>

using qctest::FarmEngine;
using qctest::FarmRequest;
using qctest::reportHeading;
using qctest::reportUrlRow;
using qctest::reportWideRow;

namespace {

const QByteArray ServerError = "HTTP/1.0 500 Internal Server Error";
const QString Stopped = QStringLiteral("Submission project was stopped by the user");

class SubmissionRunTest : public qctest::FarmRunTest
{
};

// A failure's row with the saved answer PR_<answer>.htm in its second cell.
QByteArray failureRow(const QByteArray &text, int answer)
{
    return "<tr>\r\n<td>\r\n\t" + text + "\r\n</td>\r\n\r\n<td>\r\n\t<a href=\"PR_" + QByteArray::number(answer) +
           ".htm\" target=newbie>View Server Response</a>\r\n</td>\r\n</tr>\r\n\r\n";
}

QByteArray redirectionRow(const QByteArray &url, int answer, const QByteArray &location)
{
    return "<tr><td><a href=\"" + QByteArray(url).replace(" ", "%20") + "\" target=newbie>" + url +
           "</a></td><td><a href=\"PR_" + QByteArray::number(answer) +
           ".htm\" target=newbie>View Server Response</a> (redirected to <a href=\"" + location + "\" target=newbie>" +
           location + "</a>)</td></tr>\r\n\r\n";
}

TEST_F(SubmissionRunTest, AcceptedRedirectedAndFailedAnswersAreRecordedInTableAndReport)
{
    const QString one = "http://a.example/one page";
    const QString two = "http://a.example/it's";
    prepare({{"Alpha", engine("accept.cgi", "E1")},
             {"Bravo", engine("redirect.cgi", "E2")},
             {"Charlie", engine("fail.cgi", "E3")},
             {"Delta", engine("accept.cgi", "E4"), false}},
            {one, two});
    const QList<EngineTally> tally = submit();

    // What the farm received, byte for byte.
    const QList<FarmRequest> got = farm.received();
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(got.at(0).requestLine, "POST /cgi-bin/accept.cgi HTTP/1.0");
    EXPECT_EQ(got.at(0).body, "url=http%3A%2F%2Fa%2Eexample%2Fone+page");
    const QByteArray host = "Host: " + farm.url("").mid(7);
    EXPECT_EQ(got.at(0).headers,
              QList<QByteArray>({"Content-Length: 39", "Content-Type: application/x-www-form-urlencoded", host,
                                 "User-Agent: Quillcast"}));
    EXPECT_EQ(got.at(1).body, "url=http%3A%2F%2Fa%2Eexample%2Fit%27s");
    QList<QByteArray> scripts;
    for (const FarmRequest &r : got)
        scripts << r.script;
    EXPECT_EQ(scripts,
              QList<QByteArray>({"accept.cgi", "accept.cgi", "redirect.cgi", "redirect.cgi", "fail.cgi", "fail.cgi"}));

    // Only what an engine accepted is done; an engine not chosen is not touched.
    EXPECT_EQ(flags("E1"), QList<bool>({false, false}));
    EXPECT_EQ(flags("E2"), QList<bool>({false, false}));
    EXPECT_EQ(flags("E3"), QList<bool>({true, true}));
    EXPECT_EQ(flags("E4"), QList<bool>({true, true}));

    // Every answer is saved and linked, numbered through the run.
    const QByteArray thanks = "http://127.0.0.1/thanks.html";
    EXPECT_EQ(reportRows(), reportHeading("Alpha") + reportUrlRow(one.toUtf8(), 0) + reportUrlRow(two.toUtf8(), 1) +
                                reportHeading("Bravo") + redirectionRow(one.toUtf8(), 2, thanks) +
                                redirectionRow(two.toUtf8(), 3, thanks) + reportHeading("Charlie") +
                                failureRow("Error accessing: Charlie: " + one.toUtf8() + " (" + ServerError + ")", 4) +
                                failureRow("Error accessing: Charlie: " + two.toUtf8() + " (" + ServerError + ")", 5) +
                                reportHeading("Delta"));
    EXPECT_EQ(qctest::readFile(projectFile("PR_1.htm")), "<html><body>Thank you, your URL was added.</body></html>\n");
    EXPECT_EQ(qctest::readFile(projectFile("PR_2.htm")), "<html><body>Moved</body></html>\n");
    EXPECT_EQ(qctest::readFile(projectFile("PR_5.htm")), "<html><body>Engine down</body></html>\n");

    EXPECT_EQ(observer.texts(StatusKind::Failure),
              QStringList({"Error accessing: Charlie: " + one + " (" + ServerError + ")",
                           "Error accessing: Charlie: " + two + " (" + ServerError + ")"}));
    const QStringList lines = observer.texts();
    EXPECT_EQ(lines.first(), "Processing search engines");
    EXPECT_TRUE(lines.contains("Submitting URL's to Alpha"));
    EXPECT_TRUE(lines.contains("Processing: Delta"));
    EXPECT_FALSE(lines.contains("Submitting URL's to Delta"));
    EXPECT_EQ(lines.mid(lines.size() - 2),
              QStringList({"Done processing search engines", "Done submitting to the selected search engines"}));
    EXPECT_EQ(observer.runSteps.last(), std::make_pair(6, 6));
    EXPECT_EQ(observer.runStates, QList<bool>({true, false}));
    EXPECT_FALSE(control.inProgress());

    ASSERT_EQ(tally.size(), 4);
    EXPECT_EQ(tally.at(0).accepted, 2);
    EXPECT_EQ(tally.at(1).accepted, 2);
    EXPECT_EQ(tally.at(2).failed, 2);
    EXPECT_EQ(tally.at(2).sent, 2);
    EXPECT_EQ(tally.at(2).firstFailure, ServerError) << "a form engine's failure is its status line";
    EXPECT_EQ(tally.at(3).sent, 0);
}

TEST_F(SubmissionRunTest, GetJoinsTheFilledTemplateToTheActionsQuery)
{
    const struct
    {
        const char *action;
        const char *column;
        QByteArray requestLine;
    } cases[] = {
        {"accept.cgi", "E1", "GET /cgi-bin/accept.cgi?q=a%2Eb%2Fc+d&who=Ann+Lee&x=1 HTTP/1.0"},
        {"accept.cgi?src=qc", "E2", "GET /cgi-bin/accept.cgi?src=qc&q=a%2Eb%2Fc+d&who=Ann+Lee&x=1 HTTP/1.0"},
        {"accept.cgi?", "E3", "GET /cgi-bin/accept.cgi?q=a%2Eb%2Fc+d&who=Ann+Lee&x=1 HTTP/1.0"},
    };
    QList<qctest::RunEngine> engines;
    for (const auto &c : cases) {
        FarmEngine getter = engine(c.action, c.column);
        getter.method = "get";
        getter.postData = "q=$URL&who=$CONTACT&x=1";
        engines.append({QByteArray("Getter") + c.column, getter});
    }
    prepare(engines, {"a.b/c d"});
    submit();
    const QList<FarmRequest> got = farm.received();
    ASSERT_EQ(got.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].action);
        EXPECT_EQ(got.at(i).requestLine, cases[i].requestLine);
        EXPECT_EQ(got.at(i).body, "");
        EXPECT_EQ(flags(cases[i].column), QList<bool>({false}));
    }
}

TEST_F(SubmissionRunTest, TestModeSendsToTheFormEchoEndpoints)
{
    setup.testServer = QString::fromUtf8(farm.url(""));
    FarmEngine post = engine("accept.cgi", "E1");
    post.action = "http://engine.invalid/add";
    FarmEngine get = post;
    get.method = "get";
    get.column = "E2";
    prepare({{"Getter", get}, {"Poster", post}}, {"http://a.example/"});
    submit();
    const QList<FarmRequest> got = farm.received();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got.at(0).requestLine, "GET /cgi-bin/query?url=http%3A%2F%2Fa%2Eexample%2F HTTP/1.0");
    EXPECT_EQ(got.at(1).requestLine, "POST /cgi-bin/post-query.cgi HTTP/1.0");
    EXPECT_EQ(got.at(1).body, "url=http%3A%2F%2Fa%2Eexample%2F");
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
    EXPECT_EQ(flags("E2"), QList<bool>({false}));
}

TEST_F(SubmissionRunTest, MaxSubmitCountsOnlyAcceptedRequests)
{
    FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.maxSubmit = 2;
    prepare({{"Alpha", alpha}}, {"http://broken.example/", "http://a.example/2", "http://a.example/3",
                                 "http://a.example/4", "http://a.example/5"});
    const QList<EngineTally> tally = submit();
    EXPECT_EQ(farm.received().size(), 3);
    EXPECT_EQ(flags("E1"), QList<bool>({true, false, false, true, true}));
    EXPECT_EQ(reportRows(), reportHeading("Alpha") +
                                failureRow("Error accessing: Alpha: http://broken.example/ (" + ServerError + ")", 0) +
                                reportUrlRow("http://a.example/2", 1) + reportUrlRow("http://a.example/3", 2) +
                                reportWideRow("Skipped: http://a.example/4") +
                                reportWideRow("Skipped: http://a.example/5"));
    EXPECT_EQ(tally.at(0).limited, 2);
}

TEST_F(SubmissionRunTest, DisabledAndCopiedUrlsAreAnnouncedButNotSentAndThePauseIsKept)
{
    FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.sleep = 1;
    prepare({{"Alpha", alpha}}, {"http://off.example/", "http://dup.example/", "http://dup.example/"});
    table->setFlag("E1", ProjectId, "http://off.example/", false);
    submit();
    // A copy of an accepted URL is done with it.
    ASSERT_EQ(farm.received().size(), 1);
    EXPECT_EQ(farm.received().at(0).body, "url=http%3A%2F%2Fdup%2Eexample%2F");
    EXPECT_EQ(flags("E1"), QList<bool>({false, false, false}));
    const QStringList lines = observer.texts();
    const QString waiting = "Waiting: 1 seconds before submitting this URL.";
    ASSERT_GE(lines.indexOf("Disabled: http://off.example/"), 1);
    EXPECT_EQ(lines.at(lines.indexOf("Disabled: http://off.example/") - 1), waiting);
    EXPECT_EQ(lines.count(waiting), 3);
    EXPECT_EQ(reportRows(), reportHeading("Alpha") + reportWideRow("Disabled: http://off.example/") +
                                reportUrlRow("http://dup.example/", 1) +
                                reportWideRow("Disabled: http://dup.example/"));
}

TEST_F(SubmissionRunTest, AFlagClearedDuringARequestIsHonouredForItsUrl)
{
    prepare({{"Slow", engine("slow.cgi", "E1")}}, {"http://slow.example/", "http://later.example/"});
    const qint64 later = table->rowIds().value(1);
    whenReceived(1, [&] {
        UrlGridRows(*table).updateRow(later, std::nullopt, QStringLiteral("E1"), false);
        control.skipUrl();
    });
    submit();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_TRUE(observer.texts().contains("Disabled: http://later.example/"));
    EXPECT_EQ(flags("E1"), QList<bool>({true, false}));
}

TEST_F(SubmissionRunTest, AnUnknownMethodSendsNothingAndLeavesTheUrlToDo)
{
    FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.method = "POST";
    prepare({{"Alpha", alpha}}, {"http://a.example/"});
    submit();
    EXPECT_TRUE(farm.received().isEmpty());
    EXPECT_EQ(flags("E1"), QList<bool>({true}));
    EXPECT_TRUE(
        observer.texts().contains("Not submitted, the method \"POST\" is neither post nor get: http://a.example/"));
    EXPECT_EQ(reportRows(), reportHeading("Alpha") + reportWideRow("Error accessing: Alpha: http://a.example/"));
}

TEST_F(SubmissionRunTest, ASilentEngineTimesOutAndItsUrlStaysToDo)
{
    setup.settings.timeoutText = "1";
    prepare({{"Slow", engine("slow.cgi", "E1")}}, {"http://slow.example/", "http://fast.example/"});
    const QList<EngineTally> tally = submit();
    EXPECT_EQ(farm.received().size(), 2);
    EXPECT_EQ(reportRows(), reportHeading("Slow") + reportWideRow("Timeout: http://slow.example/") +
                                reportUrlRow("http://fast.example/", 1));
    EXPECT_EQ(flags("E1"), QList<bool>({true, false}));
    EXPECT_TRUE(observer.ticks.contains(1));
    EXPECT_EQ(tally.at(0).timedOut, 1);
}

TEST_F(SubmissionRunTest, SkipUrlDuringARequestGoesOnWithTheNextUrl)
{
    FarmEngine slow = engine("slow.cgi", "E1");
    slow.maxSubmit = 1; // the skipped request does not use up the engine's limit
    prepare({{"Slow", slow}}, {"http://slow.example/", "http://fast.example/"});
    whenReceived(1, [&] { control.skipUrl(); });
    submit();
    EXPECT_EQ(farm.received().size(), 2);
    EXPECT_TRUE(observer.texts().contains("Skipped: http://slow.example/"));
    EXPECT_EQ(reportRows(), reportHeading("Slow") + reportWideRow("Skipped: http://slow.example/") +
                                reportUrlRow("http://fast.example/", 1));
    EXPECT_EQ(flags("E1"), QList<bool>({true, false}));
    EXPECT_FALSE(control.skipUrlRequested());
}

TEST_F(SubmissionRunTest, SkipEngineDuringARequestPassesOverTheRestOfTheEngine)
{
    prepare({{"Alpha", engine("accept.cgi", "E1")}, {"Slow", engine("slow.cgi", "E2")}},
            {"http://slow.example/", "http://fast.example/2", "http://fast.example/3"});
    whenReceived(4, [&] { control.skipEngine(); });
    submit();
    EXPECT_EQ(farm.received().size(), 4);
    EXPECT_EQ(reportRows(), reportHeading("Alpha") + reportUrlRow("http://slow.example/", 0) +
                                reportUrlRow("http://fast.example/2", 1) + reportUrlRow("http://fast.example/3", 2) +
                                reportHeading("Slow") + reportWideRow("Skipped engine: Slow"));
    const QStringList lines = observer.texts();
    EXPECT_EQ(lines.count("Skipped engine: Slow"), 1);
    EXPECT_EQ(lines.count("http://fast.example/3"), 1) << "passed over without being announced";
    EXPECT_EQ(observer.runSteps.last(), std::make_pair(6, 6)) << "passed-over URLs still count as gone through";
    EXPECT_EQ(flags("E2"), QList<bool>({true, true, true}));
}

TEST_F(SubmissionRunTest, SkipEngineBetweenRequestsIsRecordedOnceAtTheNextUrl)
{
    prepare({{"Alpha", engine("accept.cgi", "E1")}},
            {"http://a.example/1", "http://a.example/2", "http://a.example/3"});
    observer.onRunProgress = [&](int done) {
        if (done == 1)
            control.skipEngine();
    };
    submit();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_EQ(reportRows(),
              reportHeading("Alpha") + reportUrlRow("http://a.example/1", 0) + reportWideRow("Skipped engine: Alpha"));
    EXPECT_EQ(observer.texts().count("Skipped engine: Alpha"), 1);
    EXPECT_EQ(flags("E1"), QList<bool>({false, true, true}));
}

TEST_F(SubmissionRunTest, StopDuringARequestEndsTheRunWithAFooter)
{
    prepare({{"Alpha", engine("slow.cgi", "E1")}, {"Bravo", engine("accept.cgi", "E2")}},
            {"http://slow.example/", "http://a.example/"});
    whenReceived(1, [&] { control.stop(); });
    submit();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_EQ(reportRows(), reportHeading("Alpha") + reportWideRow("Submission project was stopped by the user."));
    const QStringList lines = observer.texts();
    EXPECT_EQ(lines.count(Stopped), 1);
    EXPECT_FALSE(lines.contains("Processing: Bravo"));
    EXPECT_EQ(lines.last(), "Done submitting to the selected search engines");
    EXPECT_EQ(observer.runSteps.last(), std::make_pair(0, 4)) << "the full gauge goes back to empty";
    EXPECT_EQ(flags("E1"), QList<bool>({true, true}));
    EXPECT_EQ(flags("E2"), QList<bool>({true, true}));
}

TEST_F(SubmissionRunTest, StopBetweenRequestsSendsNothingMore)
{
    prepare({{"Alpha", engine("accept.cgi", "E1")}}, {"http://a.example/1", "http://a.example/2"});
    // The first step is done between the first request and the second.
    observer.onRunProgress = [&](int done) {
        if (done == 1)
            control.stop();
    };
    submit();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_EQ(observer.texts().count(Stopped), 1);
    EXPECT_EQ(flags("E1"), QList<bool>({false, true}));
}

TEST_F(SubmissionRunTest, SkipUrlSkipEngineAndStopEndThePauseAndNothingIsSent)
{
    const struct
    {
        void (RunControl::*command)();
        QString line;
        QByteArray row;
    } cases[] = {
        {&RunControl::skipUrl, "Skipped: http://a.example/", reportWideRow("Skipped: http://a.example/")},
        {&RunControl::skipEngine, "Skipped engine: Alpha", reportWideRow("Skipped engine: Alpha")},
        {&RunControl::stop, Stopped, reportWideRow("Submission project was stopped by the user.")},
    };
    FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.sleep = 60; // a pause that went on would end in a request the farm records
    prepare({{"Alpha", alpha}}, {"http://a.example/"});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        observer = {};
        // The command comes from the event loop the pause waits in.
        observer.onStatus = [&](const QString &text, StatusKind) {
            if (text.startsWith("Waiting: 60 seconds"))
                QTimer::singleShot(0, &control, c.command);
        };
        submit();
        EXPECT_TRUE(farm.received().isEmpty());
        EXPECT_EQ(observer.texts().count(c.line), 1);
        EXPECT_EQ(reportRows(), reportHeading("Alpha") + c.row);
        EXPECT_EQ(flags("E1"), QList<bool>({true}));
    }
}

TEST_F(SubmissionRunTest, OnlySenderFieldsAChosenFormUsesAreRequiredAndARefusalDeletesNothing)
{
    const struct
    {
        QByteArray postData;
        QString firstName, lastName;
        QStringList emails;
        QString missing; // "" when the run goes ahead
    } cases[] = {
        {"url=$URL", "", "", {}, ""},
        {"n=$MNAME", "", "", {}, ""},
        {"e=$EMAIL", "Ann", "Lee", {"", "second@lee.example"}, "Email"},
        {"n=$CONTACT", "Ann", "", {}, "Last Name"},
        {"n=$CONTACT&e=$EMAIL", "", "", {}, "First Name"},
        {"n=$FNAME", "", "Lee", {"ann@lee.example"}, "First Name"},
        {"n=$LNAME&e=$EMAIL", "Ann", "", {"ann@lee.example"}, "Last Name"},
    };
    FarmEngine unchosen = engine("accept.cgi", "E2");
    unchosen.postData = "e=$EMAIL&n=$CONTACT";
    qsizetype sent = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.postData.toStdString());
        observer = {};
        table->deleteProject(ProjectId);
        setup.settings.chosenEngines.clear();
        setup.settings.firstName = c.firstName;
        setup.settings.lastName = c.lastName;
        setup.settings.emails = c.emails;
        FarmEngine alpha = engine("accept.cgi", "E1");
        alpha.postData = c.postData;
        prepare({{"Alpha", alpha}, {"Bravo", unchosen, false}}, {"http://a.example/"});
        QDir().mkpath(setup.projectDir);
        qctest::writeFile(projectFile("PR_7.htm"), "old");
        qctest::writeFile(setup.reportPath, "old report");
        submit();
        const qsizetype requests = farm.received().size() - sent;
        sent = farm.received().size();
        EXPECT_EQ(observer.missingSenderFields, c.missing.isEmpty() ? QStringList() : QStringList({c.missing}));
        EXPECT_EQ(requests, c.missing.isEmpty() ? 1 : 0);
        // A refused run leaves the last report and the answers it links.
        EXPECT_EQ(QFile::exists(projectFile("PR_7.htm")), !c.missing.isEmpty());
        EXPECT_EQ(qctest::readFile(setup.reportPath) == "old report", !c.missing.isEmpty());
    }
}

TEST_F(SubmissionRunTest, AUrlTableThatCannotBeWrittenStopsTheRunAndTheNextRunResendsOnlyThatEngine)
{
    prepare({{"Alpha", engine("accept.cgi", "E1")},
             {"Bravo", engine("accept.cgi", "E2")},
             {"Charlie", engine("accept.cgi", "E3")}},
            {"http://a.example/1", "http://a.example/2"});
    // The run's connection gives up at once instead of waiting for the lock.
    QSqlDatabase run = QSqlDatabase::database(table->connectionName(), false);
    run.setConnectOptions("QSQLITE_BUSY_TIMEOUT=0");
    table->reopen();
    // Another connection takes the write lock once Alpha's flags are committed.
    UrlTable other(base.path());
    observer.onStatus = [&](const QString &text, StatusKind) {
        if (text == "Processing: Bravo")
            other.query().exec("begin immediate");
    };
    submit();
    EXPECT_EQ(farm.received().size(), 3) << "Bravo's first URL was sent; nothing after its flag failed";
    ASSERT_EQ(observer.runFailures.size(), 1);
    EXPECT_TRUE(observer.runFailures.at(0).contains("lock")) << observer.runFailures.at(0).toStdString();
    EXPECT_FALSE(observer.texts().contains("Processing: Charlie"));
    EXPECT_TRUE(reportRows().contains("The run stopped: "));

    observer = {};
    other.query().exec("rollback");
    SubmissionRun again(setup, *table, http, control, observer);
    again.run();
    EXPECT_TRUE(again.fatalError().isEmpty());
    EXPECT_EQ(farm.received().size(), 3 + 2 + 2) << "Bravo's URLs again, and Charlie's";
    EXPECT_EQ(flags("E1") + flags("E2") + flags("E3"), QList<bool>(6, false));
}

TEST_F(SubmissionRunTest, AReportTheDiskDoesNotTakeStopsTheRunBeforeAnyRequest)
{
    if (!QFileInfo("/dev/full").isWritable())
        GTEST_SKIP() << "no /dev/full here";
    prepare({{"Alpha", engine("accept.cgi", "E1")}}, {"http://a.example/"});
    setup.reportPath = "/dev/full";
    SubmissionRun run(setup, *table, http, control, observer);
    run.run();
    EXPECT_TRUE(farm.received().isEmpty());
    EXPECT_EQ(observer.runFailures, QStringList({run.fatalError()}));
    EXPECT_EQ(run.fatalError(), "Cannot write /dev/full: No space left on device");
    EXPECT_EQ(flags("E1"), QList<bool>({true}));
}

TEST_F(SubmissionRunTest, AReportThatCannotBeCreatedStopsBeforeAnyEngine)
{
    prepare({{"Alpha", engine("accept.cgi", "E1")}}, {"http://a.example/"});
    QDir().mkpath(setup.reportPath); // a directory where the report should go
    submit();
    EXPECT_TRUE(farm.received().isEmpty());
    EXPECT_EQ(observer.reportNotCreatedCalls, 1);
    EXPECT_EQ(observer.texts(), QStringList({"Done submitting to the selected search engines"}));
}

TEST_F(SubmissionRunTest, TheEngineListsAreDownloadedFirstWhenTheProjectAsks)
{
    setup.settings.downloadEngines = true;
    setup.settings.chosenEngines = {"Alpha"};
    farm.server().addFile("lists/auto.txt", qctest::engineSection("Alpha", engine("accept.cgi", "E1")));
    farm.server().addFile("lists/manual.txt", "[Hand]\r\nQC_HomeURL=http://hand.example/\r\n");
    setup.autoListUrl = QString::fromUtf8(farm.url("/lists/auto.txt"));
    setup.manualListUrl = QString::fromUtf8(farm.url("/lists/missing.txt"));
    prepare({}, {"http://a.example/"}); // no engines here yet
    submit();
    ASSERT_EQ(farm.received().size(), 1);
    EXPECT_EQ(farm.received().at(0).script, "accept.cgi");
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
    const QStringList lines = observer.texts();
    EXPECT_EQ(lines.first(), "Downloading search engine configuration");
    EXPECT_EQ(lines.filter("Engine list not updated from ").size(), 1) << "the manual list was missing";
    EXPECT_TRUE(observer.missingEngineLists.isEmpty());
}

TEST_F(SubmissionRunTest, WithoutAnEngineListTheBuiltInListsAreWrittenAndAChoiceOfNoneRunsNothing)
{
    prepare({}, {"http://a.example/"});
    QDir().mkpath(setup.projectDir);
    qctest::writeFile(projectFile("PR_7.htm"), "old");
    submit();
    EXPECT_TRUE(observer.missingEngineLists.isEmpty());
    EXPECT_EQ(observer.nothingChosenCount, 1);
    EXPECT_TRUE(QFile::exists(projectFile("PR_7.htm"))) << "a refused run deletes no answer";
    EXPECT_TRUE(farm.received().isEmpty());
    EXPECT_FALSE(QFile::exists(setup.reportPath));
    // The lists the program carries are sound lists, and now the directory's.
    EXPECT_TRUE(isAutomaticEngineList(setup.autoListPath));
    EXPECT_TRUE(isManualEngineList(setup.manualListPath));
    EXPECT_TRUE(EngineCatalogue::load(setup.autoListPath).names().contains("IndexNow"));
    // Google and Bing are reached through their webmaster APIs, searched the same way.
    for (const auto &[name, kind] :
         {std::pair{"Google", WebmasterKind::SearchConsole}, std::pair{"Bing", WebmasterKind::BingWebmaster}}) {
        const EngineSection section = readEngineSection(setup.autoListPath, name);
        EXPECT_EQ(engineSectionProblem(section), "") << name;
        EXPECT_EQ(submissionKind(section), kind) << name;
        EXPECT_EQ(searchKind(section), kind) << name;
    }
}

TEST_F(SubmissionRunTest, ABrokenEngineSectionIsToldWhereItIsAndTheOthersRun)
{
    FarmEngine broken = engine("accept.cgi", "E1");
    broken.postData = ""; // an empty value drops its line
    prepare({{"Alpha", broken}, {"Bravo", engine("accept.cgi", "E2")}}, {"http://a.example/"});
    const QList<EngineTally> tally = submit();
    const QString problem = "engines205.txt, section [Alpha]: the key QC_PostData is out of place or has no value";
    EXPECT_EQ(tally.at(0).listProblem, problem);
    EXPECT_TRUE(anyRequestFailed(tally)) << "an engine that could not be asked is a failure";
    EXPECT_TRUE(RunSummary(tally, {}).contains("  Alpha: not asked, its engine list entry is broken: " + problem));
    EXPECT_EQ(observer.texts(StatusKind::Failure), QStringList({problem}));
    EXPECT_EQ(reportRows(), reportHeading("Alpha") + reportWideRow("Engine list: " + problem.toUtf8()) +
                                reportHeading("Bravo") + reportUrlRow("http://a.example/", 0));
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_EQ(flags("E1"), QList<bool>({true}));
}

TEST_F(SubmissionRunTest, WithoutTheStatusLogNoReportAndNoAnswersAreKept)
{
    setup.settings.statusLog = false;
    prepare({{"Alpha", engine("accept.cgi", "E1")}}, {"http://a.example/"});
    QDir().mkpath(setup.projectDir);
    qctest::writeFile(projectFile("PR_3.htm"), "old");
    submit();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
    EXPECT_FALSE(QFile::exists(setup.reportPath));
    EXPECT_EQ(QDir(setup.projectDir).entryList({"PR_*"}, QDir::Files), QStringList());
    EXPECT_TRUE(observer.reportPieces.isEmpty());
}

TEST_F(SubmissionRunTest, DebugModeTellsWhatWasSentAndShowsTheAnswer)
{
    setup.debug = true;
    prepare({{"Alpha", engine("accept.cgi", "E1")}}, {"a.b"});
    submit();
    const QStringList lines = observer.texts();
    for (const QString &line :
         {QString("ATmpURL: ") + farm.script("accept.cgi"), QString("ATmpMethod: post"), QString("ATmpEncode: no"),
          QString("ATmpInternalIndex: E1"), QString("String before encode: a.b"), QString("String after encode: a%2Eb"),
          QString("URLPostData: url=a%2Eb"), QString("HTTPClient->URL: ") + farm.script("accept.cgi"),
          QString("Acutal submitted URLPostData: url=a%2Eb"), QString("iTmpFullPosition = 1")})
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();
    EXPECT_EQ(observer.texts(StatusKind::Event),
              QStringList({"Connected", "Starting transfer", "Transfer complete", "Disconnected"}));
    EXPECT_TRUE(observer.answerPieces.contains("Field: Content-Type"));
    EXPECT_TRUE(observer.answerPieces.join("").contains("Thank you, your URL was added."));
}

} // namespace
