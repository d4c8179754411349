// The submission run in the window, against a local engine farm.

#include "engines/ui/enginechecklist.h"
#include "project/urltable.h"
#include "runs/ui/gauge.h"
#include "runs/ui/statuslog.h"
#include "runs/ui/timeoutmeter.h"
#include "support/enginefarm.h"
#include "support/gui/runfixture.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

using qctest::FarmEngine;
using qctest::FarmRequest;

namespace {

using Engine = qctest::RunEngine;

class SubmissionRun : public qctest::RunTest
{
protected:
    FarmEngine engine(const QByteArray &script, const QByteArray &column) const
    {
        FarmEngine made;
        made.action = farm.script(script);
        made.column = column;
        return made;
    }

    // The engine column of every URL row, in row order.
    QList<bool> flags(const QString &column)
    {
        QList<bool> values;
        for (const qint64 row : window().urlTable().rowIds())
            values << window().urlTable().flag(row, column).value_or(false);
        return values;
    }

    QString projectFile(const QString &name) { return window().ProjectDir + "/" + name; }

    // The report between its header and footer; the header must name the project.
    QByteArray reportRows()
    {
        const QByteArray report = qctest::readFile(window().ReportPath);
        const QByteArray start = "<center><table border=1>\r\n\r\n";
        const QByteArray footer = "</table></center>\r\n\r\n</body>\r\n</html>\r\n\r\n";
        EXPECT_TRUE(report.startsWith("<html>\r\n"));
        EXPECT_TRUE(report.contains("<title>" + window().ProjectFile.toUtf8() + "</title>"));
        EXPECT_TRUE(report.endsWith(footer)) << report.toStdString();
        const qsizetype from = report.indexOf(start);
        if (from < 0 || !report.endsWith(footer))
            return report;
        return report.mid(from + start.size(), report.size() - from - start.size() - footer.size());
    }

    // Presses a button once the farm has received `count` requests (from inside the run's wait).
    void pressWhenReceived(QPushButton *button, int count)
    {
        auto *poll = new QTimer(&window());
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, button, count] {
            if (farm.received().size() >= count) {
                poll->stop();
                poll->deleteLater();
                button->click();
            }
        });
        poll->start();
    }
};

QByteArray heading(const QByteArray &engine)
{
    return "<tr><td colspan=2 valign=center align=center><b>" + engine + "</b></td></tr><p>\r\n\r\n";
}

QByteArray urlRow(const QByteArray &url, int answer)
{
    return "<tr>\r\n<td>\r\n\t<a href=\"" + url + "\" target=newbie>" + url +
           "</a>\r\n</td>\r\n\r\n<td>\r\n\t<a href=\"PR_" + QByteArray::number(answer) +
           ".htm\" target=newbie>View Server Response</a>\r\n</td>\r\n</tr>\r\n\r\n";
}

QByteArray wideRow(const QByteArray &text)
{
    return "<tr>\r\n<td colspan=2>\r\n\t" + text + "\r\n</td>\r\n</tr>\r\n\r\n";
}

QList<QByteArray> requestLines(const QList<FarmRequest> &requests)
{
    QList<QByteArray> lines;
    for (const FarmRequest &r : requests)
        lines << r.requestLine;
    return lines;
}

TEST_F(SubmissionRun, AcceptedRedirectedAndFailedAnswersAreRecordedInTableAndReport)
{
    const QString one = "http://a.example/one page";
    const QString two = "http://a.example/two";
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")},
                            {"Bravo", engine("redirect.cgi", "E2")},
                            {"Charlie", engine("fail.cgi", "E3")},
                            {"Delta", engine("accept.cgi", "E4"), false}},
                           {one, two});
    form.SubmitBitBtnClick();

    // What the farm received, byte for byte.
    const QList<FarmRequest> got = farm.received();
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(got.at(0).script, "accept.cgi");
    EXPECT_EQ(got.at(0).requestLine, "POST /cgi-bin/accept.cgi HTTP/1.0");
    EXPECT_EQ(got.at(0).body, "url=http%3A%2F%2Fa%2Eexample%2Fone+page");
    EXPECT_EQ(got.at(0).headers,
              QList<QByteArray>(
                  {"Content-Length: 39", "Content-Type: application/x-www-form-urlencoded", "User-Agent: Quillcast"}));
    EXPECT_EQ(got.at(1).body, "url=http%3A%2F%2Fa%2Eexample%2Ftwo");
    QList<QByteArray> scripts;
    for (const FarmRequest &r : got)
        scripts << r.script;
    EXPECT_EQ(scripts,
              QList<QByteArray>({"accept.cgi", "accept.cgi", "redirect.cgi", "redirect.cgi", "fail.cgi", "fail.cgi"}));

    // Accepted and redirected URLs are done; a failure is tried again next run;
    // an unchecked engine is not touched.
    EXPECT_EQ(flags("E1"), QList<bool>({false, false}));
    EXPECT_EQ(flags("E2"), QList<bool>({false, false}));
    EXPECT_EQ(flags("E3"), QList<bool>({true, true}));
    EXPECT_EQ(flags("E4"), QList<bool>({true, true}));

    // An earlier redirection never makes a failure count as accepted.
    const QByteArray oneHtml = "http://a.example/one page";
    const QByteArray twoHtml = "http://a.example/two";
    EXPECT_EQ(
        reportRows(),
        heading("Alpha") + urlRow(oneHtml, 0) + urlRow(twoHtml, 1) + heading("Bravo") +
            "<tr><td><a href=\"http://a.example/one page\" target=newbie>http://a.example/one page</a></td>"
            "<td><a href=\"http://127.0.0.1/thanks.html\" target=newbie>View Server Response</a></td></tr>\r\n\r\n" +
            "<tr><td><a href=\"http://a.example/two\" target=newbie>http://a.example/two</a></td>"
            "<td><a href=\"http://127.0.0.1/thanks.html\" target=newbie>View Server Response</a></td></tr>\r\n\r\n" +
            heading("Charlie") + wideRow("Error accessing: Charlie: " + oneHtml) +
            wideRow("Error accessing: Charlie: " + twoHtml) + heading("Delta"));

    // Saved answers beside the report, numbered through the run.
    EXPECT_EQ(qctest::readFile(projectFile("PR_0.htm")), "<html><body>Thank you, your URL was added.</body></html>\n");
    EXPECT_EQ(qctest::readFile(projectFile("PR_1.htm")), "<html><body>Thank you, your URL was added.</body></html>\n");
    EXPECT_TRUE(QFile::exists(base.file("quillcast.jpg")));

    const QStringList lines = status();
    EXPECT_EQ(lines.first(), "Processing search engines");
    EXPECT_TRUE(lines.contains("Submitting URL's to Alpha"));
    EXPECT_FALSE(lines.contains("Submitting URL's to Delta"));
    EXPECT_TRUE(lines.contains("Processing: Delta"));
    EXPECT_EQ(lines.at(lines.size() - 2), "Done processing search engines");
    EXPECT_EQ(lines.last(), "Done submitting to the selected search engines");
    EXPECT_EQ(form.Submit.FullGauge->maximum(), 6);
    EXPECT_EQ(form.Submit.FullGauge->value(), 6);
    EXPECT_EQ(form.Submit.SubmitTimeoutMeter->faceColor(), QColor(0, 0, 255));
    EXPECT_FALSE(form.SubmitTimer->isActive());
    EXPECT_TRUE(form.Submit.SubmitBitBtn->isEnabled());
    EXPECT_TRUE(form.updatesEnabled());
    // The answer buffer keeps only the answer to the last request.
    EXPECT_EQ(form.AnswerBuffer, QStringList({"<html><body>Engine down</body></html>\n"}));
}

TEST_F(SubmissionRun, GetAppendsTheFilledTemplateToTheAction)
{
    FarmEngine getter = engine("accept.cgi", "E1");
    getter.method = "get";
    getter.postData = "q=$URL&who=$CONTACT&x=1";
    TMainForm &form = open({{"Getter", getter}}, {"a.b/c d"});
    form.SubmitBitBtnClick();
    const QList<FarmRequest> got = farm.received();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got.at(0).requestLine, "GET /cgi-bin/accept.cgi?q=a%2Eb%2Fc+d&who=Ann+Lee&x=1 HTTP/1.0");
    EXPECT_EQ(got.at(0).body, "");
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
}

TEST_F(SubmissionRun, TestModeSendsToTheFormEchoEndpoints)
{
    qctest::writeFile(base.file("Quillcast.ini"), "[Test]\r\nServer=" + farm.url("") + "\r\n");
    FarmEngine post = engine("accept.cgi", "E1");
    post.action = "http://engine.invalid/add";
    FarmEngine get = post;
    get.method = "get";
    get.column = "E2";
    TMainForm &form = open({{"Getter", get}, {"Poster", post}}, {"http://a.example/"}, {"/test"});
    form.SubmitBitBtnClick();
    EXPECT_EQ(requestLines(farm.received()),
              QList<QByteArray>({"GET /cgi-bin/query?url=http%3A%2F%2Fa%2Eexample%2F HTTP/1.0",
                                 "POST /cgi-bin/post-query.cgi HTTP/1.0"}));
    EXPECT_EQ(farm.received().at(1).body, "url=http%3A%2F%2Fa%2Eexample%2F");
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
    EXPECT_EQ(flags("E2"), QList<bool>({false}));
}

TEST_F(SubmissionRun, MaxSubmitCountsOnlyRequestsThatDidNotFail)
{
    FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.maxSubmit = 2;
    const QStringList urls = {"http://broken.example/", "http://a.example/2", "http://a.example/3",
                              "http://a.example/4", "http://a.example/5"};
    TMainForm &form = open({{"Alpha", alpha}}, urls);
    form.SubmitBitBtnClick();
    EXPECT_EQ(farm.received().size(), 3);
    EXPECT_EQ(flags("E1"), QList<bool>({true, false, false, true, true}));
    const QStringList lines = status();
    EXPECT_TRUE(lines.contains("Skipped: http://a.example/4"));
    EXPECT_TRUE(lines.contains("Skipped: http://a.example/5"));
    EXPECT_EQ(reportRows(), heading("Alpha") + wideRow("Error accessing: Alpha: http://broken.example/") +
                                urlRow("http://a.example/2", 1) + urlRow("http://a.example/3", 2) +
                                wideRow("Skipped: http://a.example/4") + wideRow("Skipped: http://a.example/5"));
}

TEST_F(SubmissionRun, DisabledUrlsAreAnnouncedButNotSentAndThePauseIsKept)
{
    FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.sleep = 1;
    TMainForm &form = open({{"Alpha", alpha}}, {"http://off.example/", "http://on.example/"});
    form.urlTable().setFlag("E1", form.ProjectId, "http://off.example/", false);
    form.SubmitBitBtnClick();
    ASSERT_EQ(farm.received().size(), 1);
    EXPECT_EQ(farm.received().at(0).body, "url=http%3A%2F%2Fon%2Eexample%2F");
    const QStringList lines = status();
    const QString waiting = "Waiting: 1 seconds before submitting this URL.";
    ASSERT_GE(lines.indexOf("Disabled: http://off.example/"), 1);
    EXPECT_EQ(lines.at(lines.indexOf("Disabled: http://off.example/") - 1), waiting);
    EXPECT_EQ(lines.count(waiting), 2);
    EXPECT_EQ(reportRows(),
              heading("Alpha") + wideRow("Disabled: http://off.example/") + urlRow("http://on.example/", 1));
    EXPECT_FALSE(form.SubmitTimer->isActive());
}

TEST_F(SubmissionRun, ACopyOfASubmittedUrlCountsAsDone)
{
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}},
                           {"http://dup.example/", "http://b.example/", "http://dup.example/"});
    form.SubmitBitBtnClick();
    ASSERT_EQ(farm.received().size(), 2);
    EXPECT_EQ(flags("E1"), QList<bool>({false, false, false}));
    EXPECT_EQ(reportRows(), heading("Alpha") + urlRow("http://dup.example/", 0) + urlRow("http://b.example/", 1) +
                                wideRow("Disabled: http://dup.example/"));
}

TEST_F(SubmissionRun, AFlagClearedInTheGridDuringARequestIsHonouredForItsUrl)
{
    TMainForm &form = open({{"Slow", engine("slow.cgi", "E1")}}, {"http://slow.example/", "http://later.example/"});
    const qint64 later = form.urlTable().rowIds().value(1);
    auto *poll = new QTimer(&form);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [&form, poll, later, this] {
        if (farm.received().isEmpty())
            return;
        poll->stop();
        form.urlTable().updateRow(later, std::nullopt, QStringLiteral("E1"), false);
        form.Submit.SkipURLBitBtn->click();
    });
    poll->start();
    form.SubmitBitBtnClick();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_TRUE(status().contains("Disabled: http://later.example/"));
}

TEST_F(SubmissionRun, AnUnknownMethodSendsNothingAndLeavesTheUrlToDo)
{
    FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.method = "POST";
    TMainForm &form = open({{"Alpha", alpha}}, {"http://a.example/"});
    form.SubmitBitBtnClick();
    EXPECT_TRUE(farm.received().isEmpty());
    EXPECT_EQ(flags("E1"), QList<bool>({true}));
    EXPECT_TRUE(status().contains("Not submitted, the method \"POST\" is neither post nor get: http://a.example/"));
    EXPECT_EQ(reportRows(), heading("Alpha") + wideRow("Error accessing: Alpha: http://a.example/"));
}

TEST_F(SubmissionRun, ASilentEngineTimesOutAndItsUrlStaysDone)
{
    TMainForm &form = open({{"Slow", engine("slow.cgi", "E1")}}, {"http://slow.example/"});
    // A flag left over from before the run does not count.
    form.TimedOutFlag = true;
    form.SubmitBitBtnClick();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_TRUE(status().contains("Timeout: http://slow.example/"));
    EXPECT_EQ(reportRows(), heading("Slow") + wideRow("Timeout: http://slow.example/"));
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
    EXPECT_FALSE(form.TimedOutFlag);
    EXPECT_EQ(form.Submit.SubmitTimeoutMeter->value(), 0);
}

TEST_F(SubmissionRun, SkipUrlDuringARequestGoesOnWithTheNextUrl)
{
    TMainForm &form = open({{"Slow", engine("slow.cgi", "E1")}}, {"http://slow.example/", "http://fast.example/"});
    pressWhenReceived(form.Submit.SkipURLBitBtn, 1);
    form.SubmitBitBtnClick();
    EXPECT_EQ(farm.received().size(), 2);
    EXPECT_TRUE(status().contains("Skipped: http://slow.example/"));
    EXPECT_FALSE(form.SkipURLFlag);
    EXPECT_EQ(reportRows(),
              heading("Slow") + wideRow("Skipped: http://slow.example/") + urlRow("http://fast.example/", 1));
    EXPECT_EQ(flags("E1"), QList<bool>({false, false}));
}

TEST_F(SubmissionRun, SkipEnginePassesOverTheRestOfTheEngine)
{
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}, {"Slow", engine("slow.cgi", "E2")}},
                           {"http://slow.example/", "http://fast.example/2", "http://fast.example/3"});
    pressWhenReceived(form.Submit.SkipEngineBitBtn, 4);
    form.SubmitBitBtnClick();
    EXPECT_EQ(farm.received().size(), 4);
    EXPECT_EQ(reportRows(), heading("Alpha") + urlRow("http://slow.example/", 0) + urlRow("http://fast.example/2", 1) +
                                urlRow("http://fast.example/3", 2) + heading("Slow") + wideRow("Skipped engine: Slow"));
    const QStringList lines = status();
    EXPECT_EQ(lines.count("Skipped engine: Slow"), 1);
    EXPECT_FALSE(lines.contains("http://fast.example/3") &&
                 lines.lastIndexOf("http://fast.example/3") > lines.indexOf("Skipped engine: Slow"));
    // Passed-over URLs still count.
    EXPECT_EQ(form.FullProgress, 6);
    EXPECT_EQ(form.ResponseFileCounter, 6);
    EXPECT_EQ(flags("E2"), QList<bool>({false, true, true}));
}

TEST_F(SubmissionRun, StopDuringARequestEndsTheRunWithAFooter)
{
    TMainForm &form = open({{"Alpha", engine("slow.cgi", "E1")}, {"Bravo", engine("accept.cgi", "E2")}},
                           {"http://slow.example/", "http://a.example/"});
    pressWhenReceived(form.Submit.StopBitBtn, 1);
    form.SubmitBitBtnClick();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_EQ(reportRows(), heading("Alpha") + wideRow("Submission project was stopped by the user."));
    const QStringList lines = status();
    EXPECT_TRUE(lines.contains("Submission project was stopped by the user"));
    EXPECT_FALSE(lines.contains("Processing: Bravo"));
    EXPECT_EQ(lines.last(), "Done submitting to the selected search engines");
    EXPECT_EQ(form.Submit.FullGauge->value(), 0);
    EXPECT_EQ(flags("E2"), QList<bool>({true, true}));
}

TEST_F(SubmissionRun, ASecondRunCannotStartInsideTheFirst)
{
    TMainForm &form = open({{"Alpha", engine("slow.cgi", "E1")}}, {"http://slow.example/", "http://fast.example/"});
    bool disabledDuringRun = false;
    QTimer::singleShot(0, &form, [&] {
        disabledDuringRun = !form.Submit.SubmitBitBtn->isEnabled() && !form.Submit.SearchURLsBitBtn->isEnabled();
        form.SubmitBitBtnClick();
        form.SearchURLsBitBtnClick();
        form.SkipURLBitBtnClick();
    });
    form.SubmitBitBtnClick();
    EXPECT_TRUE(disabledDuringRun);
    EXPECT_EQ(farm.received().size(), 2);
    EXPECT_EQ(status().count("Done submitting to the selected search engines"), 1);
}

TEST_F(SubmissionRun, ClosingTheWindowStopsTheRun)
{
    TMainForm &form = open({{"Alpha", engine("slow.cgi", "E1")}}, {"http://slow.example/", "http://slow.example/2"});
    form.show();
    auto *poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, poll, [&] {
        if (!farm.received().isEmpty()) {
            poll->stop();
            form.close();
        }
    });
    poll->start(20);
    form.SubmitBitBtnClick();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_TRUE(status().contains("Submission project was stopped by the user"));
    EXPECT_FALSE(status().contains("Timeout: http://slow.example/"));
    EXPECT_FALSE(form.isVisible());
}

TEST_F(SubmissionRun, MissingSenderFieldsRefuseTheRunAfterClearingOldAnswers)
{
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}}, {"http://a.example/"});
    QDir().mkpath(form.ProjectDir);
    qctest::writeFile(projectFile("PR_7.htm"), "old");
    form.Info.InfoEmailMemo->setPlainText("\nsecond@lee.example");
    form.SubmitBitBtnClick();
    EXPECT_TRUE(farm.received().isEmpty());
    EXPECT_FALSE(QFile::exists(projectFile("PR_7.htm")));
    ASSERT_EQ(platform.captions().count("Required Fields Missing"), 1);
    EXPECT_EQ(platform.ofKind("message").last().text, "Required Fields:\nFirst,Last Name\nEmail\nBrowser");
    EXPECT_EQ(flags("E1"), QList<bool>({true}));
}

TEST_F(SubmissionRun, AReportThatCannotBeCreatedStopsBeforeAnyEngine)
{
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}}, {"http://a.example/"});
    QDir().mkpath(form.ReportPath); // a directory where the report should go
    form.SubmitBitBtnClick();
    EXPECT_TRUE(farm.received().isEmpty());
    ASSERT_EQ(platform.captions().count("Error"), 1);
    EXPECT_EQ(platform.ofKind("message").last().text, "Unable to create Status Log.");
    EXPECT_EQ(status(), QStringList({"Done submitting to the selected search engines"}));
}

TEST_F(SubmissionRun, WithoutTheStatusLogNoReportAndNoAnswersAreKept)
{
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}}, {"http://a.example/"});
    form.Submit.StatusLogCheckBox->setChecked(false);
    QDir().mkpath(form.ProjectDir);
    qctest::writeFile(projectFile("PR_3.htm"), "old");
    form.SubmitBitBtnClick();
    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
    EXPECT_FALSE(QFile::exists(form.ReportPath));
    EXPECT_EQ(QDir(form.ProjectDir).entryList({"PR_*"}, QDir::Files), QStringList());
    // Switched on in the middle of a run, the option writes to no report.
    QTimer::singleShot(0, &form, [&] { form.Submit.StatusLogCheckBox->setChecked(true); });
    form.urlTable().enableAll(form.ProjectId);
    form.Submit.StatusLogCheckBox->setChecked(false);
    form.SubmitBitBtnClick();
    EXPECT_FALSE(QFile::exists(form.ReportPath));
}

TEST_F(SubmissionRun, AQuoteInAUrlIsSubmittedAndRecorded)
{
    const QString url = "http://a.example/it's";
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}}, {url});
    form.SubmitBitBtnClick();
    ASSERT_EQ(farm.received().size(), 1);
    EXPECT_EQ(farm.received().at(0).body, "url=http%3A%2F%2Fa%2Eexample%2Fit%27s");
    EXPECT_EQ(flags("E1"), QList<bool>({false}));
}

TEST_F(SubmissionRun, DebugModeTellsWhatWasSent)
{
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}}, {"a.b"}, {"/debug"});
    form.SubmitBitBtnClick();
    const QStringList lines = status();
    for (const QString &line :
         {QString("ATmpURL: ") + farm.script("accept.cgi"), QString("ATmpMethod: post"), QString("ATmpEncode: no"),
          QString("ATmpInternalIndex: E1"), QString("String before encode: a.b"), QString("String after encode: a%2Eb"),
          QString("URLPostData: url=a%2Eb"), QString("HTTPClient->URL: ") + farm.script("accept.cgi"),
          QString("Acutal submitted URLPostData: url=a%2Eb"), QString("iTmpFullPosition = 1")})
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();
}

} // namespace
