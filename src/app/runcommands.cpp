// The "Submit URL's" page: starting a run, watching it (the window is the run's
// observer) and forwarding Skip URL, Skip Engine and Stop to the run control.

#include "app/constants.h"
#include "app/mainform.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "engines/ui/enginechecklist.h"
#include "net/httpclient.h"
#include "project/profilefile.h"
#include "project/settingskeys.h"
#include "project/urltable.h"
#include "runs/runcontrol.h"
#include "runs/searchrun.h"
#include "runs/submissionrun.h"
#include "runs/ui/gauge.h"
#include "runs/ui/paintthrottle.h"
#include "runs/ui/statuslog.h"
#include "runs/ui/timeoutmeter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>
#include <QTimer>

using namespace Quillcast;

namespace {

// How often a run lets the window paint: often enough to look live, and
// rarely enough that painting the window costs little beside the requests.
constexpr int PaintIntervalMs = 100;

} // namespace

void TMainForm::connectRunControls()
{
    m_control = new RunControl(*m_http, this);
    m_paintThrottle = new PaintThrottle(this, PaintIntervalMs, this);
    connect(Submit.SubmitBitBtn, &QPushButton::clicked, this, &TMainForm::SubmitBitBtnClick);
    connect(Submit.SearchURLsBitBtn, &QPushButton::clicked, this, &TMainForm::SearchURLsBitBtnClick);
    connect(Submit.ViewReportBitBtn, &QPushButton::clicked, this, &TMainForm::ViewReportBitBtnClick);
    connect(Submit.SkipURLBitBtn, &QPushButton::clicked, m_control, &RunControl::skipUrl);
    connect(Submit.SkipEngineBitBtn, &QPushButton::clicked, m_control, &RunControl::skipEngine);
    connect(Submit.StopBitBtn, &QPushButton::clicked, m_control, &RunControl::stop);
}

bool TMainForm::RunInProgress() const
{
    return m_control && m_control->inProgress();
}

void TMainForm::SubmitBitBtnClick()
{
    startRun(false);
}

void TMainForm::SearchURLsBitBtnClick()
{
    startRun(true);
}

void TMainForm::ViewReportBitBtnClick()
{
    m_platform.openInShell(ReportPath);
}

RunSetup TMainForm::runSetup() const
{
    RunSetup setup;
    setup.settings = currentSettings();
    setup.engines = m_engines;
    setup.projectFile = ProjectFile;
    setup.projectDir = ProjectDir;
    setup.reportPath = ReportPath;
    setup.autoListPath = AutoListPath;
    setup.manualListPath = ManualListPath;
    setup.autoListUrl = AutoListURL;
    setup.manualListUrl = ManualListURL;
    setup.debug = DebugMode();
    if (TestMode()) {
        const SettingsKeys::Key &server = SettingsKeys::TestServer;
        setup.testServer = ProfileFile(AppIniPath)
                               .readString(QLatin1String(server.section), QLatin1String(server.key),
                                           QLatin1String(server.defaultValue));
    }
    setup.report.HomePageURL = HomePageURL;
    setup.report.ReportImageFile = ReportImageFile;
    setup.report.AppTitle = AppTitle;
    return setup;
}

void TMainForm::startRun(bool search)
{
    // Without a project there is nothing to run, and no directory whose old answers could go.
    if (RunInProgress() || ProjectId == 0 || ProjectDir.isEmpty())
        return;
    try {
        const RunSetup setup = runSetup();
        // The report shows the picture from the base directory.
        if (!search && setup.settings.statusLog)
            EnsurePictureFile(BaseDir, ReportImageFile);
        RunObserver &observer = *this;
        std::unique_ptr<Run> run;
        if (search)
            run = std::make_unique<SearchRun>(setup, *m_urlTable, *m_http, *m_control, observer);
        else
            run = std::make_unique<SubmissionRun>(setup, *m_urlTable, *m_http, *m_control, observer);
        run->run();
        m_lastTally = run->tally();
        // A run that downloaded the lists works with the new one: so does the window.
        if (setup.settings.downloadEngines) {
            const QSet<QString> chosen = currentSettings().chosenEngines;
            LoadEngineCheckList();
            EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
            for (int i = 0; i < engines->count(); ++i)
                engines->setChecked(i, chosen.contains(engines->text(i)));
            RefreshControls();
        }
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    if (m_closedDuringRun) {
        m_closedDuringRun = false;
        // Queued: the loop that ends the program may be further out than this call.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (RunInProgress()) {
        m_control->stop();
        m_closedDuringRun = true;
    }
    QMainWindow::closeEvent(event);
}

void TMainForm::AddStatusLine(const QString &text, int kind)
{
    Submit.SubmitStatusRichEdit->AddStatusLine(text, kind);
}

void TMainForm::statusLine(const QString &text, StatusKind kind)
{
    Submit.SubmitStatusRichEdit->AddStatusLine(text, int(kind));
}

void TMainForm::requestProgress(int percent)
{
    Submit.SingleGauge->setValue(qBound(0, percent, Submit.SingleGauge->maximum()));
}

void TMainForm::runProgress(int done, int total)
{
    if (Submit.FullGauge->maximum() != total)
        Submit.FullGauge->setRange(0, total);
    Submit.FullGauge->setValue(done);
}

void TMainForm::timeoutTick(int seconds, int)
{
    Submit.SubmitTimeoutMeter->setValue(seconds);
}

void TMainForm::answerShown(const QString &piece)
{
    Hidden.SubmitStatusMemo->appendPlainText(piece);
}

void TMainForm::answerCleared()
{
    // Emptying an empty memo still rebuilds its document.
    if (!Hidden.SubmitStatusMemo->document()->isEmpty())
        Hidden.SubmitStatusMemo->clear();
}

void TMainForm::searchAnswerShown(const QString &answer)
{
    m_platform.messageBox(this, answer, QStringLiteral("SubmitStatusText"), Platform::Ok);
}

void TMainForm::senderMissing()
{
    m_stepFailed = true;
    m_pageControl->setCurrentWidget(Info.InfoTabSheet);
    m_platform.messageBox(this, QStringLiteral("Required Fields:\nFirst,Last Name\nEmail\nBrowser"),
                          QStringLiteral("Required Fields Missing"), Platform::Ok);
}

void TMainForm::engineListMissing(const QString &path)
{
    m_stepFailed = true;
    m_platform.messageBox(this,
                          QStringLiteral("There is no engine list to work with: ") + path +
                              QStringLiteral(" has no engines, and none could be downloaded."),
                          QStringLiteral("No engine list"), Platform::Ok, Platform::Icon::Error);
}

void TMainForm::reportNotCreated()
{
    m_stepFailed = true;
    m_platform.messageBox(this, QStringLiteral("Unable to create Status Log."), QStringLiteral("Error"), Platform::Ok,
                          Platform::Icon::Error);
}

void TMainForm::runStateChanged(bool inProgress)
{
    if (inProgress) {
        m_paintThrottle->engage();
        Submit.SubmitStatusRichEdit->setGathering(true);
        Submit.SubmitStatusRichEdit->clear();
        answerCleared();
        Submit.FullGauge->setValue(0);
        Submit.SubmitTimeoutMeter->setFaceColor(Qt::white);
    } else {
        Submit.SubmitStatusRichEdit->setGathering(false);
        m_paintThrottle->release();
        Submit.SubmitTimeoutMeter->setValue(0);
        Submit.SubmitTimeoutMeter->setFaceColor(QColor(0, 0, 255));
    }
    Submit.SubmitBitBtn->setEnabled(!inProgress);
    Submit.SearchURLsBitBtn->setEnabled(!inProgress);
    RefreshControls();
}
