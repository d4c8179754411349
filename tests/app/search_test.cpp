// The URL search in the window, against a local engine farm.

#include "engines/ui/enginechecklist.h"
#include "project/urltable.h"
#include "runs/ui/statuslog.h"
#include "support/enginefarm.h"
#include "support/gui/runfixture.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

using qctest::FarmEngine;

namespace {

using Engine = qctest::RunEngine;

const QString Known = "http://known.example/";
const QString UnknownA = "http://unknown.example/a";
const QString UnknownB = "http://unknown.example/b";

class SearchRun : public qctest::RunTest
{
protected:
    // An engine searched through search.cgi, whose "not listed" page says
    // "Sorry, no documents matched your query."
    FarmEngine searcher(const QByteArray &method, const QByteArray &column) const
    {
        FarmEngine made;
        made.action = farm.script("accept.cgi");
        made.method = method;
        made.searchAction = farm.script("search.cgi");
        made.searchPostData = "q=$URL";
        made.searchNone = "Sorry%2C+no+documents+matched";
        made.column = column;
        return made;
    }

    QByteArray projectFile(const QString &name) { return qctest::readFile(window().ProjectDir + "/" + name); }
};

TEST_F(SearchRun, SearchLogsListTheUrlsEachEngineDoesNotKnow)
{
    FarmEngine poster = searcher("post", "E2");
    poster.searchNone = "Sorry%2C%20no%20documents"; // blanks written as %20
    FarmEngine blind = searcher("post", "E3");
    blind.searchAction = "NONE";
    TMainForm &form = open({{"Blind", blind},
                            {"Finder", searcher("get", "E1")},
                            {"Poster", poster},
                            {"../Idle", searcher("get", "E4"), false}},
                           {Known, UnknownA, UnknownB});
    // A URL that was submitted already is still searched.
    form.urlTable().setFlag("E1", form.ProjectId, UnknownA, false);
    QDir().mkpath(form.ProjectDir);
    qctest::writeFile(form.ProjectDir + "/SRCH_99.htm", "old");
    form.SearchURLsBitBtnClick();

    const QList<qctest::FarmRequest> got = farm.received();
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(got.at(0).requestLine, "GET /cgi-bin/search.cgi?q=http%3A%2F%2Fknown%2Eexample%2F HTTP/1.0");
    EXPECT_EQ(got.at(3).requestLine, "POST /cgi-bin/search.cgi HTTP/1.0");
    EXPECT_EQ(got.at(3).body, "q=http%3A%2F%2Fknown%2Eexample%2F");

    const QByteArray expected = (UnknownA + "\r\n" + UnknownB + "\r\n").toUtf8();
    EXPECT_EQ(projectFile("None_Finder.txt"), expected);
    EXPECT_EQ(projectFile("None_Poster.txt"), expected);
    EXPECT_EQ(projectFile("None_Blind.txt"), "");
    // An engine name never leads the log out of the project's directory.
    EXPECT_TRUE(QFile::exists(form.ProjectDir + "/None_.._Idle.txt"));
    EXPECT_FALSE(QFile::exists(QDir(form.ProjectDir).filePath("../None_Idle.txt")));

    // Every answer is saved; the counter also counts the rows of the unsearchable engine.
    EXPECT_FALSE(QFile::exists(form.ProjectDir + "/SRCH_99.htm"));
    EXPECT_EQ(projectFile("SRCH_3.htm"), "<html><body>1 document matched: " + Known.toUtf8() + "</body></html>\n");
    EXPECT_EQ(projectFile("SRCH_4.htm"), "<html><body>Sorry, no documents matched your query.</body></html>\n");
    EXPECT_EQ(form.ResponseFileCounter, 9);

    const QStringList lines = status();
    EXPECT_EQ(lines.count("URL searching for this engine will be skipped until further notice."), 1);
    EXPECT_EQ(lines.count("Not found: " + UnknownA + " "), 2);
    EXPECT_TRUE(lines.contains("Processing: ../Idle"));
    EXPECT_FALSE(lines.contains("Searching for URLs in ../Idle"));
    EXPECT_EQ(lines.first(), "Searching for URLs");
    EXPECT_EQ(lines.at(lines.size() - 2), "Done searching for URLs.");
    EXPECT_EQ(lines.last(), "Done searching the selected search engines");

    // The search changes nothing in the URL table.
    const QList<qint64> rows = form.urlTable().rowIds();
    EXPECT_EQ(form.urlTable().flag(rows.at(1), "E1"), false);
    EXPECT_EQ(form.urlTable().flag(rows.at(0), "E1"), true);
}

TEST_F(SearchRun, FailedAnswersNeverCountAsNotListedButAreSaved)
{
    FarmEngine failing = searcher("get", "E1");
    failing.searchAction = farm.script("fail.cgi");
    failing.searchNone = "Engine+down"; // the text of the error page
    FarmEngine moved = searcher("get", "E2");
    moved.searchAction = farm.script("redirect.cgi");
    moved.searchNone = "Moved";
    TMainForm &form = open({{"Failing", failing}, {"Moved", moved}}, {UnknownA, UnknownB});
    form.SearchURLsBitBtnClick();
    EXPECT_EQ(farm.received().size(), 4);
    EXPECT_EQ(projectFile("None_Failing.txt"), "");
    EXPECT_EQ(projectFile("None_Moved.txt"), "");
    EXPECT_EQ(projectFile("SRCH_0.htm"), "<html><body>Engine down</body></html>\n");
    EXPECT_EQ(projectFile("SRCH_2.htm"), "<html><body>Moved</body></html>\n");
    EXPECT_FALSE(status().join('\n').contains("Not found: "));
    EXPECT_TRUE(form.AnswerBuffer.isEmpty());
}

TEST_F(SearchRun, AStopClosesTheLogAndSearchesNoLaterEngine)
{
    FarmEngine slow = searcher("get", "E1");
    slow.searchAction = farm.script("slow.cgi");
    TMainForm &form = open({{"Alpha", searcher("get", "E2")}, {"Bravo", slow}, {"Charlie", searcher("get", "E3")}},
                           {UnknownA, "http://slow.example/"});
    auto *poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, poll, [&] {
        if (farm.received().size() >= 4) {
            poll->stop();
            form.Submit.StopBitBtn->click();
        }
    });
    poll->start(20);
    form.SearchURLsBitBtnClick();

    EXPECT_EQ(farm.received().size(), 4);
    EXPECT_EQ(projectFile("None_Alpha.txt"), (UnknownA + "\r\n").toUtf8());
    // Bravo had answered its first URL (listed) before the stop: its log was written, empty.
    EXPECT_EQ(projectFile("None_Bravo.txt"), "");
    EXPECT_FALSE(QFile::exists(form.ProjectDir + "/None_Charlie.txt"));
    const QStringList lines = status();
    EXPECT_TRUE(lines.contains("Search project was stopped by the user"));
    EXPECT_FALSE(lines.contains("Processing: Charlie"));
    EXPECT_EQ(lines.last(), "Done searching the selected search engines");
}

TEST_F(SearchRun, SkipUrlAndTimeoutAreReported)
{
    FarmEngine slow = searcher("post", "E1");
    slow.searchAction = farm.script("slow.cgi");
    TMainForm &form = open({{"Slow", slow}}, {"http://slow.example/1", "http://slow.example/2"});
    auto *poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, poll, [&] {
        if (!farm.received().isEmpty()) {
            poll->stop();
            form.Submit.SkipURLBitBtn->click();
        }
    });
    poll->start(20);
    form.SearchURLsBitBtnClick();
    const QStringList lines = status();
    EXPECT_TRUE(lines.contains("Skipped: http://slow.example/1"));
    EXPECT_TRUE(lines.contains("Timeout: http://slow.example/2"));
    EXPECT_EQ(projectFile("None_Slow.txt"), "");
    EXPECT_FALSE(form.TimedOutFlag);
    EXPECT_FALSE(form.SkipURLFlag);
}

} // namespace
