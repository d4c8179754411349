// What the window does with a run: starting it from its buttons, showing what it
// reports, and forwarding Skip, Stop and the window's close to the run control.
// What a run does is tested in tests/runs.

#include "project/session/baselock.h"
#include "project/store/urltable.h"
#include "runs/runcontrol.h"
#include "runs/ui/gauge.h"
#include "runs/ui/statuslog.h"
#include "runs/ui/timeoutmeter.h"
#include "support/gui/runfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

namespace {

class RunWindow : public qctest::RunTest
{
protected:
    // Clicks a button from inside the run once the farm has received count requests.
    void pressWhenReceived(const char *button, int count)
    {
        auto *target = find<QPushButton>(button);
        auto *poll = new QTimer(&window());
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, target, count] {
            if (farm.received().size() >= count) {
                poll->stop();
                target->click();
            }
        });
        poll->start();
    }
};

TEST_F(RunWindow, TheSubmitButtonRunsAndTheLogAndGaugesShowIt)
{
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}, {"Bravo", engine("fail.cgi", "E2")}},
                           {"http://a.example/1", "http://a.example/2"});
    find<QPushButton>("SubmitBitBtn")->click();

    EXPECT_EQ(farm.received().size(), 4);
    const QStringList lines = status();
    EXPECT_EQ(lines.first(), "Processing search engines");
    EXPECT_EQ(lines.last(), "Done submitting to the selected search engines");
    const int failure =
        lines.indexOf("Error accessing: Bravo: http://a.example/1 (HTTP/1.0 500 Internal Server Error)");
    ASSERT_GE(failure, 0);
    EXPECT_TRUE(find<StatusLog>("SubmitStatusRichEdit")->lineStyle(failure).underline) << "shown as a failure";

    EXPECT_EQ(find<Gauge>("FullGauge")->maximum(), 4);
    EXPECT_EQ(find<Gauge>("FullGauge")->value(), 4);
    EXPECT_EQ(find<Gauge>("SingleGauge")->value(), 100);
    EXPECT_EQ(find<TimeoutMeter>("SubmitTimeoutMeter")->value(), 0);
    EXPECT_EQ(find<TimeoutMeter>("SubmitTimeoutMeter")->faceColor(), QColor(0, 0, 255));
    EXPECT_TRUE(find<QPushButton>("SubmitBitBtn")->isEnabled());
    EXPECT_TRUE(form.updatesEnabled());
    EXPECT_FALSE(form.RunInProgress());
    // The report shows the picture from the base directory.
    EXPECT_TRUE(QFile::exists(base.file("quillcast.jpg")));
    ASSERT_EQ(form.lastTally().size(), 2);
    EXPECT_EQ(form.lastTally().at(0).accepted, 2);
    EXPECT_EQ(form.lastTally().at(1).failed, 2);
}

TEST_F(RunWindow, SkipAndStopButtonsReachTheRunDuringARequest)
{
    open({{"Alpha", engine("slow.cgi", "E1")},
          {"Bravo", engine("slow.cgi", "E2")},
          {"Charlie", engine("slow.cgi", "E3")}},
         {"http://slow.example/1", "http://slow.example/2"});
    pressWhenReceived("SkipEngineBitBtn", 1);
    pressWhenReceived("SkipURLBitBtn", 2);
    pressWhenReceived("StopBitBtn", 3);
    find<QPushButton>("SubmitBitBtn")->click();
    EXPECT_EQ(farm.received().size(), 3);
    const QStringList lines = status();
    EXPECT_TRUE(lines.contains("Skipped engine: Alpha"));
    EXPECT_TRUE(lines.contains("Skipped: http://slow.example/1"));
    EXPECT_TRUE(lines.contains("Submission project was stopped by the user"));
    EXPECT_FALSE(lines.contains("Processing: Charlie"));
    EXPECT_EQ(find<Gauge>("FullGauge")->value(), 0);
}

TEST_F(RunWindow, ClosingTheWindowStopsTheRunAndEndsTheProgram)
{
    TMainForm &form = open({{"Alpha", engine("slow.cgi", "E1")}}, {"http://slow.example/1", "http://slow.example/2"});
    form.show();
    auto *poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, poll, [&] {
        if (!farm.received().isEmpty()) {
            poll->stop();
            form.close();
        }
    });
    poll->start(20);
    form.submit();
    // The program's loop ends by the window's doing, not by this bound.
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    bound.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);

    EXPECT_EQ(farm.received().size(), 1);
    EXPECT_TRUE(status().contains("Submission project was stopped by the user"));
    EXPECT_FALSE(status().contains("Timeout: http://slow.example/1"));
    EXPECT_FALSE(form.isVisible());
}

TEST_F(RunWindow, ASecondRunCannotStartInsideTheFirstAndSkipAndStopActOnlyDuringOne)
{
    TMainForm &form = open({{"Alpha", engine("slow.cgi", "E1")}}, {"http://slow.example/", "http://fast.example/"});
    const QStringList runOnly = {"SkipURLBitBtn", "SkipEngineBitBtn", "StopBitBtn"};
    for (const QString &name : runOnly)
        EXPECT_FALSE(find<QPushButton>(name)->isEnabled()) << name.toStdString();
    bool stillDuringRun = false;
    QTimer::singleShot(0, &form, [&] {
        stillDuringRun = !find<QPushButton>("SubmitBitBtn")->isEnabled() &&
                         !find<QPushButton>("SearchURLsBitBtn")->isEnabled() &&
                         !find<QAction>("OpenProject1")->isEnabled() && form.RunInProgress();
        for (const QString &name : runOnly)
            stillDuringRun = stillDuringRun && find<QPushButton>(name)->isEnabled();
        form.submit();
        form.search();
        find<QPushButton>("SkipURLBitBtn")->click();
    });
    form.submit();
    EXPECT_TRUE(stillDuringRun);
    EXPECT_EQ(farm.received().size(), 2);
    EXPECT_EQ(status().count("Done submitting to the selected search engines"), 1);
    EXPECT_FALSE(status().contains("Searching for URLs"));
    EXPECT_TRUE(find<QPushButton>("SubmitBitBtn")->isEnabled());
    EXPECT_TRUE(find<QAction>("OpenProject1")->isEnabled());
    for (const QString &name : runOnly)
        EXPECT_FALSE(find<QPushButton>(name)->isEnabled()) << name.toStdString();
}

TEST_F(RunWindow, ARefusedRunIsExplainedInABox)
{
    qctest::FarmEngine mailed = engine("accept.cgi", "E1");
    mailed.postData = "url=$URL&email=$EMAIL";
    TMainForm &form = open({{"Alpha", mailed}}, {"http://a.example/"});
    auto *pages = find<QTabWidget>("PageControl");
    pages->setCurrentWidget(find<QWidget>("StatusTabSheet"));
    find<QPlainTextEdit>("InfoEmailMemo")->setPlainText("\nsecond@lee.example");
    find<QPushButton>("SubmitBitBtn")->click();
    ASSERT_EQ(platform.captions(), QStringList({"Required Fields Missing"}));
    EXPECT_EQ(platform.ofKind("message").last().text, "Required field missing: Email");
    EXPECT_EQ(pages->currentWidget(), find<QWidget>("InfoTabSheet"));

    find<QPlainTextEdit>("InfoEmailMemo")->setPlainText("ann@lee.example");
    QDir().mkpath(form.reportPath()); // a directory where the report should go
    find<QPushButton>("SubmitBitBtn")->click();
    ASSERT_EQ(platform.captions().last(), "Error");
    EXPECT_TRUE(
        platform.ofKind("message").last().text.startsWith("Unable to create Status Log " + form.reportPath() + ": "))
        << platform.ofKind("message").last().text.toStdString();
    EXPECT_EQ(platform.ofKind("message").last().icon, Platform::Icon::Error);
    EXPECT_TRUE(farm.received().isEmpty());
}

TEST_F(RunWindow, TheDirectoryIsHeldOnlyWhileARunOrImportWorks)
{
    TMainForm &form = open({{"Alpha", engine("slow.cgi", "E1")}}, {"http://slow.example/"});
    // Idle with a project open, the window leaves the directory to a cron run.
    BaseLock cron(base.path());
    ASSERT_EQ(cron.tryAcquire(), BaseLock::Outcome::Acquired);
    find<QPushButton>("SubmitBitBtn")->click();
    qctest::writeFile(base.file("more.txt"), "http://more.example/\n");
    platform.fileAnswers.enqueue(base.file("more.txt"));
    find<QAction>("Importfromfile")->trigger();
    ASSERT_EQ(platform.captions(), QStringList({"Quillcast", "Quillcast"}));
    EXPECT_EQ(platform.ofKind("message").first().text,
              QStringLiteral("The directory %1 is in use by another Quillcast (process %2).")
                  .arg(base.path())
                  .arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(farm.received().isEmpty());
    EXPECT_EQ(form.urlTable().rowCount(), 1);
    cron.release();

    // While its own run works, a cron run finds the directory taken.
    BaseLock::Outcome duringRun = BaseLock::Outcome::Acquired;
    auto *poll = new QTimer(&form);
    QObject::connect(poll, &QTimer::timeout, poll, [&] {
        if (!farm.received().isEmpty()) {
            poll->stop();
            duringRun = cron.tryAcquire();
            form.runControl().stop();
        }
    });
    poll->start(20);
    form.submit();
    EXPECT_EQ(duringRun, BaseLock::Outcome::Held);
    EXPECT_EQ(cron.tryAcquire(), BaseLock::Outcome::Acquired);
}

TEST_F(RunWindow, ARunThatMovesAnEngineToAnotherColumnLeavesTheWindowOnTheNewColumns)
{
    const QByteArray moved = qctest::engineSection("Alpha", engine("accept.cgi", "E7")) +
                             qctest::engineSection("Bravo", engine("accept.cgi", "E2"));
    farm.server().addFile("lists/auto.txt", moved);
    farm.server().addFile("lists/manual.txt", "[Hand]\r\nQC_HomeURL=http://hand.example/\r\n");
    TMainForm &form = open({{"Alpha", engine("accept.cgi", "E1")}, {"Bravo", engine("accept.cgi", "E2"), false}},
                           {"http://a.example/"});
    find<QRadioButton>("SettingsEngineListLoad")->setChecked(true);
    find<QLineEdit>("SettingsEngineAutoEdit")->setText(QString::fromUtf8(farm.url("/lists/auto.txt")));
    find<QLineEdit>("SettingsEngineManualEdit")->setText(QString::fromUtf8(farm.url("/lists/manual.txt")));
    find<QCheckBox>("SubmitDLEnginesCheckBox")->setChecked(true);
    find<QPushButton>("SubmitBitBtn")->click();
    ASSERT_EQ(farm.received().size(), 1);
    EXPECT_EQ(form.engines().columnOf("Alpha"), QStringLiteral("E7"));
    EXPECT_TRUE(form.currentSettings().chosenEngines.contains("Alpha"));
    EXPECT_FALSE(form.currentSettings().chosenEngines.contains("Bravo"));
    form.urlTable().setFilter(form.projectId());
    EXPECT_EQ(form.urlTable().flag(form.urlTable().rowIds().first(), "E7"), std::optional<bool>(false));
}

TEST_F(RunWindow, DebugModeShowsTheLastAnswerOnTheWorkingPage)
{
    qctest::FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.searchAction = farm.script("search.cgi");
    open({{"Alpha", alpha}, {"Bravo", engine("fail.cgi", "E2")}}, {"http://a.example/"}, {"/debug"});
    find<QPushButton>("SubmitBitBtn")->click();
    const QString shown = find<QPlainTextEdit>("SubmitStatusMemo")->toPlainText();
    EXPECT_TRUE(shown.startsWith("Field: ")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Engine down")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("Thank you")) << "each answer replaces the one before";

    find<QPushButton>("SearchURLsBitBtn")->click();
    ASSERT_EQ(platform.captions().last(), "SubmitStatusText");
    EXPECT_TRUE(platform.ofKind("message").last().text.contains("1 document matched: http://a.example/"));
}

TEST_F(RunWindow, TestModeSendsToTheServerNamedInTheSettingsFile)
{
    qctest::writeFile(base.file("Quillcast.ini"), "[Test]\r\nServer=" + farm.url("") + "\r\n");
    qctest::FarmEngine alpha = engine("accept.cgi", "E1");
    alpha.action = "http://engine.invalid/add";
    open({{"Alpha", alpha}}, {"http://a.example/"}, {"/test"});
    find<QPushButton>("SubmitBitBtn")->click();
    ASSERT_EQ(farm.received().size(), 1);
    EXPECT_EQ(farm.received().at(0).requestLine, "POST /cgi-bin/post-query.cgi HTTP/1.0");
}

} // namespace
