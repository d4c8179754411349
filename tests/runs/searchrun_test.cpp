// The URL search against a local engine farm, watched by a recording observer.

#include "runs/runsummary.h"
#include "runs/searchrun.h"
#include "support/loopbackpeer.h"
#include "support/runs/farmrun.h"

#include <QDir>

using qctest::FarmEngine;

namespace {

const QString Known = "http://known.example/";
const QString UnknownA = "http://unknown.example/a";
const QString UnknownB = "http://unknown.example/b";

class SearchRunTest : public qctest::FarmRunTest
{
protected:
    // An engine searched through search.cgi, whose "not listed" page says
    // "Sorry, no documents matched your query."
    FarmEngine searcher(const QByteArray &method, const QByteArray &column) const
    {
        FarmEngine made = engine("accept.cgi", column);
        made.method = method;
        made.searchAction = farm.script("search.cgi");
        made.searchNone = "Sorry%2C+no+documents+matched";
        return made;
    }
};

TEST_F(SearchRunTest, SearchLogsListTheUrlsEachEngineDoesNotKnow)
{
    FarmEngine poster = searcher("post", "E2");
    poster.searchNone = "Sorry%2C%20no%20documents"; // blanks written as %20
    FarmEngine blind = searcher("post", "E3");
    blind.searchAction = "NONE";
    prepare({{"Blind", blind},
             {"Finder", searcher("get", "E1")},
             {"Poster", poster},
             {"../Idle", searcher("get", "E4"), false}},
            {Known, UnknownA, UnknownB});
    // A URL that was submitted already is still searched.
    table->setFlag("E1", ProjectId, UnknownA, false);
    QDir().mkpath(setup.projectDir);
    qctest::writeFile(projectFile("SRCH_99.htm"), "old");
    const QList<EngineTally> tally = search();

    const QList<qctest::FarmRequest> got = farm.received();
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(got.at(0).requestLine, "GET /cgi-bin/search.cgi?q=http%3A%2F%2Fknown%2Eexample%2F HTTP/1.0");
    EXPECT_EQ(got.at(3).requestLine, "POST /cgi-bin/search.cgi HTTP/1.0");
    EXPECT_EQ(got.at(3).body, "q=http%3A%2F%2Fknown%2Eexample%2F");

    const QByteArray expected = (UnknownA + "\r\n" + UnknownB + "\r\n").toUtf8();
    EXPECT_EQ(qctest::readFile(projectFile("None_Finder.txt")), expected);
    EXPECT_EQ(qctest::readFile(projectFile("None_Poster.txt")), expected);
    EXPECT_EQ(qctest::readFile(projectFile("None_Blind.txt")), "");
    // An engine name never leads the log out of the project's directory.
    EXPECT_TRUE(QFile::exists(projectFile("None_.._Idle.txt")));
    EXPECT_FALSE(QFile::exists(QDir(setup.projectDir).filePath("../None_Idle.txt")));

    // Every answer is saved; the numbering also counts the rows of the unsearchable engine.
    EXPECT_EQ(QDir(setup.projectDir).entryList({"SRCH_*"}, QDir::Files, QDir::Name),
              QStringList({"SRCH_3.htm", "SRCH_4.htm", "SRCH_5.htm", "SRCH_6.htm", "SRCH_7.htm", "SRCH_8.htm"}));
    EXPECT_EQ(qctest::readFile(projectFile("SRCH_3.htm")),
              "<html><body>1 document matched: " + Known.toUtf8() + "</body></html>\n");

    const QStringList lines = observer.texts();
    EXPECT_EQ(lines.count("URL searching for this engine will be skipped until further notice."), 1);
    EXPECT_EQ(lines.count("Not found: " + UnknownA + " "), 2);
    EXPECT_TRUE(lines.contains("Processing: ../Idle"));
    EXPECT_FALSE(lines.contains("Searching for URLs in ../Idle"));
    EXPECT_EQ(lines.first(), "Searching for URLs");
    EXPECT_EQ(lines.mid(lines.size() - 2),
              QStringList({"Done searching for URLs.", "Done searching the selected search engines"}));
    EXPECT_TRUE(tally.at(1).unsearchable);
    EXPECT_EQ(tally.at(2).notListed, 2);

    // The search report beside the logs: per engine what it lists and not, linking the answers.
    const QByteArray report = qctest::readFile(projectFile("SearchLog.htm"));
    EXPECT_TRUE(report.startsWith("<!DOCTYPE html>")) << report.toStdString();
    EXPECT_TRUE(report.contains("href=\"SRCH_3.htm\"")) << "the listed URL links its answer";
    EXPECT_TRUE(report.contains("its engine list entry has no search form"));
    EXPECT_EQ(report.count(">" + UnknownB.toUtf8() + "<"), 2) << "not listed by Finder and by Poster";
    EXPECT_TRUE(report.endsWith("</html>\r\n\r\n"));

    // The search changes nothing in the URL table.
    EXPECT_EQ(flags("E1"), QList<bool>({true, false, true}));
}

TEST_F(SearchRunTest, OnlyAnAcceptedAnswerIsTestedAndFailuresAreReported)
{
    FarmEngine failing = searcher("get", "E1");
    failing.searchAction = farm.script("fail.cgi");
    failing.searchNone = "Engine+down"; // the text of the error page
    FarmEngine moved = searcher("get", "E2");
    moved.searchAction = farm.script("redirect.cgi");
    moved.searchNone = "Moved";
    prepare({{"Failing", failing}, {"Moved", moved}}, {UnknownA, UnknownB});
    const QList<EngineTally> tally = search();
    EXPECT_EQ(farm.received().size(), 4);
    EXPECT_EQ(qctest::readFile(projectFile("None_Failing.txt")), "");
    EXPECT_EQ(qctest::readFile(projectFile("None_Moved.txt")), "");
    EXPECT_EQ(qctest::readFile(projectFile("SRCH_0.htm")), "<html><body>Engine down</body></html>\n");
    EXPECT_EQ(qctest::readFile(projectFile("SRCH_2.htm")), "<html><body>Moved</body></html>\n");
    const QString redirected = " (redirected to http://127.0.0.1/thanks.html)";
    EXPECT_EQ(observer.texts(StatusKind::Failure),
              QStringList({"Error accessing: Failing: " + UnknownA + " (HTTP/1.0 500 Internal Server Error)",
                           "Error accessing: Failing: " + UnknownB + " (HTTP/1.0 500 Internal Server Error)",
                           "Error accessing: Moved: " + UnknownA + redirected,
                           "Error accessing: Moved: " + UnknownB + redirected}));
    EXPECT_FALSE(observer.texts().join('\n').contains("Not found: "));
    // A redirection is no answer: the engine could not be asked, in the summaries too.
    EXPECT_EQ(tally.at(1).failed, 2);
    EXPECT_TRUE(anyRequestFailed(tally));
    EXPECT_TRUE(RunSummary({}, tally).contains("  Moved: 2 URLs asked about, 0 not listed, 2 could not be asked, 0 "
                                               "timed out; first failure: redirected to http://127.0.0.1/thanks.html"));
    EXPECT_TRUE(qctest::readFile(projectFile("SearchLog.htm"))
                    .contains("<tr><td>Moved</td><td>2</td><td>0</td><td>0</td><td>2</td>"));
}

TEST_F(SearchRunTest, ABrokenSectionEmptiesItsLogAndALogThatCannotBeWrittenEndsTheSearch)
{
    FarmEngine broken = searcher("get", "E1");
    broken.postData = ""; // an empty value drops its line
    prepare({{"Alpha", searcher("get", "E2")},
             {"Broken", broken},
             {"Charlie", searcher("get", "E3")},
             {"Delta", searcher("get", "E4")}},
            {UnknownA});
    QDir().mkpath(projectFile("None_Charlie.txt")); // a directory where Charlie's log should go
    qctest::writeFile(projectFile("None_Broken.txt"), "http://last.run.example/\r\n");
    SearchRun run(setup, *table, http, control, observer);
    run.run();
    EXPECT_EQ(qctest::readFile(projectFile("None_Broken.txt")), "");
    EXPECT_FALSE(run.tally().at(1).listProblem.isEmpty());
    EXPECT_EQ(farm.received().size(), 1) << "Alpha only: the search stopped at Charlie's log";
    EXPECT_FALSE(observer.texts().contains("Processing: Delta"));
    ASSERT_EQ(observer.runFailures.size(), 1);
    EXPECT_EQ(observer.runFailures.at(0), run.fatalError());
    EXPECT_TRUE(
        run.fatalError().startsWith("Cannot write the search log of Charlie, " + projectFile("None_Charlie.txt")));
}

TEST_F(SearchRunTest, ASearchFormUsingTheSenderNeedsIt)
{
    FarmEngine asking = searcher("get", "E1");
    asking.searchPostData = "q=$URL&from=$EMAIL";
    setup.settings.emails.clear();
    prepare({{"Asking", asking}}, {UnknownA});
    search();
    EXPECT_EQ(observer.missingSenderFields, QStringList({"Email"}));
    EXPECT_TRUE(farm.received().isEmpty());
}

TEST_F(SearchRunTest, TheNotListedTextIsFoundPastWhatDebugModeShows)
{
    qctest::LoopbackPeer engine;
    const QByteArray filler(RunObserver::answerShownLimit + 4096, 'f');
    engine.readRequest()
        .send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + filler + "Sorry, no documents matched.")
        .closeConnection();
    ASSERT_TRUE(engine.start());
    FarmEngine peer = searcher("get", "E1");
    peer.searchAction = engine.url("/search");
    setup.debug = true;
    prepare({{"Peer", peer}}, {UnknownA});
    search();
    EXPECT_EQ(qctest::readFile(projectFile("None_Peer.txt")), (UnknownA + "\r\n").toUtf8());
    EXPECT_TRUE(observer.texts().contains("SearchNoneStringExists: 1"));
    ASSERT_EQ(observer.searchAnswers.size(), 1);
    EXPECT_FALSE(observer.searchAnswers.first().contains("Sorry")) << "the display stops before the text";
}

TEST_F(SearchRunTest, AStopClosesTheLogAndSearchesNoLaterEngine)
{
    FarmEngine slow = searcher("get", "E1");
    slow.searchAction = farm.script("slow.cgi");
    prepare({{"Alpha", searcher("get", "E2")}, {"Bravo", slow}, {"Charlie", searcher("get", "E3")}},
            {UnknownA, "http://slow.example/"});
    whenReceived(4, [&] { control.stop(); });
    search();
    EXPECT_EQ(farm.received().size(), 4);
    EXPECT_EQ(qctest::readFile(projectFile("None_Alpha.txt")), (UnknownA + "\r\n").toUtf8());
    // Bravo had answered its first URL (listed) before the stop: its log was written, empty.
    EXPECT_EQ(qctest::readFile(projectFile("None_Bravo.txt")), "");
    EXPECT_FALSE(QFile::exists(projectFile("None_Charlie.txt")));
    const QStringList lines = observer.texts();
    EXPECT_EQ(lines.count("Search project was stopped by the user"), 1);
    EXPECT_FALSE(lines.contains("Processing: Charlie"));
    EXPECT_EQ(lines.last(), "Done searching the selected search engines");
}

TEST_F(SearchRunTest, SkipUrlAndTimeoutAreReported)
{
    setup.settings.timeoutText = "1";
    FarmEngine slow = searcher("post", "E1");
    slow.searchAction = farm.script("slow.cgi");
    prepare({{"Slow", slow}}, {"http://slow.example/1", "http://slow.example/2"});
    whenReceived(1, [&] { control.skipUrl(); });
    const QList<EngineTally> tally = search();
    const QStringList lines = observer.texts();
    EXPECT_TRUE(lines.contains("Skipped: http://slow.example/1"));
    EXPECT_TRUE(lines.contains("Timeout: http://slow.example/2"));
    EXPECT_EQ(qctest::readFile(projectFile("None_Slow.txt")), "");
    EXPECT_EQ(tally.at(0).skipped, 1);
    EXPECT_EQ(tally.at(0).timedOut, 1);
}

TEST_F(SearchRunTest, SkipEngineBetweenQuestionsIsToldOnceAndTheNextEngineIsAsked)
{
    prepare({{"Alpha", searcher("get", "E1")}, {"Bravo", searcher("get", "E2")}}, {UnknownA, UnknownB, Known});
    observer.onRunProgress = [&](int done) {
        if (done == 1)
            control.skipEngine();
    };
    const QList<EngineTally> tally = search();
    EXPECT_EQ(farm.received().size(), 1 + 3);
    EXPECT_EQ(observer.texts().count("Skipped engine: Alpha"), 1);
    EXPECT_EQ(tally.at(0).skipped, 1);
    EXPECT_EQ(qctest::readFile(projectFile("None_Alpha.txt")), (UnknownA + "\r\n").toUtf8());
    EXPECT_TRUE(qctest::readFile(projectFile("SearchLog.htm")).contains("Could not be asked: skipped by the user"));
}

} // namespace
