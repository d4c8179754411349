// The "Submit URL's" page: starting a run, watching it (the window is the run's
// observer) and forwarding Skip URL, Skip Engine and Stop to the run control.

#include "app/constants.h"
#include "app/hiddenpage.h"
#include "app/infopage.h"
#include "app/mainform.h"
#include "app/pictures.h"
#include "app/settingspage.h"
#include "app/submitpage.h"
#include "platform/platform.h"
#include "project/profilefile.h"
#include "project/settingskeys.h"
#include "project/urltable.h"
#include "runs/run.h"
#include "runs/runcontrol.h"
#include "runs/runservices.h"
#include "runs/ui/paintthrottle.h"
#include "runs/ui/statuslog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSaveFile>
#include <QTabWidget>
#include <QTimer>

using namespace Quillcast;

namespace {

// How often a run lets the window paint: often enough to look live, and
// rarely enough that painting the window costs little beside the requests.
constexpr int PaintIntervalMs = 100;

// The engines in their order, each with its column.
bool sameEngines(const EngineCatalogue &a, const EngineCatalogue &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a.at(i).name != b.at(i).name || a.at(i).column != b.at(i).column)
            return false;
    return true;
}

// Why a file cannot be written, found without leaving anything behind.
QString whyNotWritable(const QString &path)
{
    QSaveFile probe(path);
    const QString reason = probe.open(QIODevice::WriteOnly) ? QString() : probe.errorString();
    probe.cancelWriting();
    return reason;
}

} // namespace

void TMainForm::connectRunControls()
{
    m_paintThrottle = new PaintThrottle(this, PaintIntervalMs, this);
    connect(m_submitPage, &SubmitPage::submitClicked, this, &TMainForm::SubmitBitBtnClick);
    connect(m_submitPage, &SubmitPage::searchClicked, this, &TMainForm::SearchURLsBitBtnClick);
    connect(m_submitPage, &SubmitPage::viewReportClicked, this, &TMainForm::ViewReportBitBtnClick);
    RunControl *control = &m_network->control();
    connect(m_submitPage, &SubmitPage::skipUrlClicked, control, &RunControl::skipUrl);
    connect(m_submitPage, &SubmitPage::skipEngineClicked, control, &RunControl::skipEngine);
    connect(m_submitPage, &SubmitPage::stopClicked, control, &RunControl::stop);
}

RunControl &TMainForm::runControl() const
{
    return m_network->control();
}

bool TMainForm::RunInProgress() const
{
    return m_network && m_network->control().inProgress();
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
    setup.autoListUrl = setup.settings.autoListUrl(DefaultAutoListURL);
    setup.manualListUrl = setup.settings.manualListUrl(DefaultManualListURL);
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
    const WorkLock lock(*this);
    if (!lock.held())
        return;
    try {
        const RunSetup setup = runSetup();
        // The report shows the picture from the base directory.
        if (!search && setup.settings.statusLog)
            EnsurePictureFile(BaseDir, ReportImageFile);
        RunObserver &observer = *this;
        const std::unique_ptr<Run> run = search ? m_network->searchRun(setup, *m_urlTable, observer)
                                                : m_network->submissionRun(setup, *m_urlTable, observer);
        run->run();
        m_lastTally = run->tally();
        m_runNotices += run->notices();
        // A run that could not write its files has said why through runFailed();
        // unattended, it ends the sequence with status 1.
        if (!run->fatalError().isEmpty())
            m_stepFailed = true;
        // A run that downloaded or wrote a list works with the new one, where an
        // engine may have another column: so does the window.
        if (!sameEngines(run->engines(), m_engines)) {
            const QSet<QString> chosen = currentSettings().chosenEngines;
            LoadEngineCheckList();
            m_settingsPage->setChosenEngines(chosen);
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
        m_network->control().stop();
        m_closedDuringRun = true;
    }
    QMainWindow::closeEvent(event);
}

void TMainForm::AddStatusLine(const QString &text, StatusKind kind)
{
    m_submitPage->log().AddStatusLine(text, kind);
}

void TMainForm::statusLine(const QString &text, StatusKind kind)
{
    AddStatusLine(text, kind);
}

void TMainForm::requestProgress(int percent)
{
    m_submitPage->showRequestProgress(percent);
}

void TMainForm::runProgress(int done, int total)
{
    m_submitPage->showRunProgress(done, total);
}

void TMainForm::timeoutTick(int seconds, int)
{
    m_submitPage->showTimeoutTick(seconds);
}

void TMainForm::answerShown(const QString &piece)
{
    m_hiddenPage->appendAnswer(piece);
}

void TMainForm::answerCleared()
{
    m_hiddenPage->clearAnswer();
}

void TMainForm::searchAnswerShown(const QString &answer)
{
    m_platform.messageBox(this, answer, QStringLiteral("SubmitStatusText"), Platform::Ok);
}

void TMainForm::senderMissing(const QString &field)
{
    m_stepFailed = true;
    m_pageControl->setCurrentWidget(m_infoPage);
    const QString text = field.isEmpty() ? QStringLiteral("Required Fields:\nFirst,Last Name\nEmail\nBrowser")
                                         : QStringLiteral("Required field missing: ") + field;
    m_platform.messageBox(this, text, QStringLiteral("Required Fields Missing"), Platform::Ok);
}

void TMainForm::runFailed(const QString &text)
{
    m_stepFailed = true;
    m_platform.messageBox(this, text, QStringLiteral("Error"), Platform::Ok, Platform::Icon::Error);
}

void TMainForm::nothingChosen()
{
    m_stepFailed = true;
    m_platform.messageBox(this,
                          QStringLiteral("No engine of the engine list is chosen for this project: tick the engines "
                                         "to submit to on the page \"Settings for search engines\"."),
                          QStringLiteral("No engine chosen"), Platform::Ok);
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
    const QString reason = whyNotWritable(ReportPath);
    m_platform.messageBox(this,
                          QStringLiteral("Unable to create Status Log %1%2")
                              .arg(ReportPath, reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + reason),
                          QStringLiteral("Error"), Platform::Ok, Platform::Icon::Error);
}

void TMainForm::runStateChanged(bool inProgress)
{
    if (inProgress)
        m_paintThrottle->engage();
    m_submitPage->setRunInProgress(inProgress);
    if (inProgress)
        answerCleared();
    else
        m_paintThrottle->release();
    RefreshControls();
}
