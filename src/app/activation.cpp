// Activation of the main window and the unattended sequence: open the project,
// take its URL list, submit, search, and end with a status that says how it went.

#include "app/mainform.h"
#include "app/platform.h"
#include "app/submitpage.h"
#include "runs/runsummary.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>

namespace {

enum ExitStatus { Success = 0, StepFailed = 1, RequestsFailed = 3 };

} // namespace

bool TMainForm::unattended() const
{
    return Startup.ExitFlag || !m_platform.interactive();
}

void TMainForm::FormActivate()
{
    // The start-up actions run once, at the first activation: a box or dialog
    // closed later activates the window again and must not reopen the project
    // or start another run.
    if (!m_startupDone) {
        m_startupDone = true;
        // With a window, a mistake on the command line is told and passed over.
        for (const QString &error : Startup.UsageErrors)
            AddStatusLine(QStringLiteral("Command line: ") + error, int(StatusKind::Failure));
        const int status = StartupActions();
        // Without a display nobody could ever close the program: it ends when
        // its start-up actions are done, as if "/exit" had been given.
        if (unattended()) {
            if (status != Success)
                m_platform.report(unattendedSummary(status));
            // Queued, so that it ends the program's own loop even before that loop runs.
            QTimer::singleShot(0, qApp, [status] { QCoreApplication::exit(status); });
        }
    }
    LoadManualEngineList();
}

int TMainForm::StartupActions()
{
    if (!Startup.LoadFlag)
        return Success;
    // Open takes the load argument instead of asking, during these actions only.
    m_inStartupActions = true;
    m_stepFailed = false;
    OpenProjectClick();
    m_inStartupActions = false;
    QApplication::processEvents();
    if (ProjectId == 0 || m_stepFailed)
        return StepFailed;
    if (Startup.RunFlag) {
        m_pageControl->setCurrentWidget(m_submitPage);
        SubmitBitBtnClick();
        m_submitTally = m_lastTally;
        QApplication::processEvents();
        if (m_stepFailed)
            return StepFailed;
    }
    if (Startup.SearchFlag) {
        m_pageControl->setCurrentWidget(m_submitPage);
        SearchURLsBitBtnClick();
        m_searchTally = m_lastTally;
        QApplication::processEvents();
        if (m_stepFailed)
            return StepFailed;
    }
    return anyRequestFailed(m_submitTally) || anyRequestFailed(m_searchTally) ? RequestsFailed : Success;
}

QString TMainForm::unattendedSummary(int status) const
{
    QString text = status == RequestsFailed
                       ? QStringLiteral("quillcast: the run finished, but some requests failed or timed out\n")
                       : QStringLiteral("quillcast: a step could not run (see above)\n");
    return text + RunSummary(m_submitTally, m_searchTally, m_runNotices);
}
