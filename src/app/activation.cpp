// Activation of the main window and the unattended open, run and exit sequence.

#include "app/mainform.h"
#include "app/platform.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>

void TMainForm::FormActivate()
{
    // The start-up actions run once, at the first activation: a box or dialog
    // closed later activates the window again and must not reopen the project
    // or start another run.
    if (Startup.LoadFlag && !m_startupDone) {
        m_startupDone = true;
        StartupActions();
    } else if (Startup.ExitFlag && !m_startupDone && !m_platform.interactive()) {
        // "/exit" acts only after "/load"; without one, a program nobody can
        // see would wait for ever for someone to close it.
        m_startupDone = true;
        m_platform.messageBox(this, QStringLiteral("Nothing to do: \"/exit\" needs a project named by \"/load\"."),
                              QStringLiteral("Error"), Platform::Ok, Platform::Icon::Error);
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(1); });
    }
    LoadManualEngineList();
}

void TMainForm::StartupActions()
{
    // Open takes the load argument instead of asking, during these actions only.
    m_inStartupActions = true;
    OpenProjectClick();
    m_inStartupActions = false;
    QApplication::processEvents();
    if (ProjectId == 0) {
        // The error is shown and the program stays open, unless nobody can see
        // it: an unattended program without a display ends with status 1.
        if (Startup.ExitFlag && !m_platform.interactive())
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(1); });
        return;
    }
    if (Startup.RunFlag) {
        m_pageControl->setCurrentWidget(Submit.StatusTabSheet);
        SubmitBitBtnClick();
        QApplication::processEvents();
    }
    if (Startup.SearchFlag) {
        m_pageControl->setCurrentWidget(Submit.StatusTabSheet);
        SearchURLsBitBtnClick();
        QApplication::processEvents();
    }
    if (Startup.ExitFlag) {
        QApplication::processEvents();
        // Queued, so that it ends the program's own loop even before that loop runs.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
}
