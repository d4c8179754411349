#include "app/mainform.h"

#include "app/aboutbox.h"
#include "app/constants.h"
#include "app/directorylock.h"
#include "app/enginecommands.h"
#include "app/hiddenpage.h"
#include "app/infopage.h"
#include "app/manualpage.h"
#include "app/named.h"
#include "app/outsidechanges.h"
#include "app/pictures.h"
#include "app/projectdialogs.h"
#include "app/runwatcher.h"
#include "app/settingsbinding.h"
#include "app/settingspage.h"
#include "app/startupsteps.h"
#include "app/submitpage.h"
#include "app/urlcommands.h"
#include "app/windowplacement.h"
#include "app/windowstatusbar.h"
#include "platform/platform.h"
#include "project/store/urltable.h"
#include "project/store/urltablemodel.h"
#include "runs/run.h"
#include "runs/runcontrol.h"
#include "runs/runservices.h"
#include "runs/ui/statuslog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

using namespace Quillcast;

TMainForm::TMainForm(Platform &platform, const StartupFlags &startup, QWidget *parent)
    : QMainWindow(parent), m_startup(startup), m_platform(platform),
      // Everything the program reads and writes lives in the current directory at start-up.
      m_session(QDir::currentPath(), EngineCatalogue::load)
{
    setObjectName(QStringLiteral("MainForm"));
    // The URL table opens with the window; a table that cannot be opened ends the
    // program (the caller shows the error).
    m_urlModel = new UrlTableModel(m_session.openTable(), this);
    // The network side sends the program's title as the user agent.
    m_network = std::make_unique<RunServices>(AppTitle.toUtf8());
    m_lock = std::make_unique<DirectoryLock>(m_platform, this, baseDir());
    m_outside = std::make_unique<OutsideChanges>(urlTable());

    m_commands = WindowCommands::create(*this);
    createPages();
    m_statusBar = new WindowStatusBar(this);
    setStatusBar(m_statusBar);
    StatusLog &log = m_submitPage->log();
    m_binding = new SettingsBinding(m_session, *m_infoPage, *m_settingsPage, *m_submitPage, this);
    m_urlCommands = new UrlCommands(m_platform, this, m_session, urlTable(), *m_network, *m_lock, *m_settingsPage, log);
    m_engineCommands =
        new EngineCommands(m_platform, this, m_session, *m_binding, *m_network, *m_settingsPage, *m_manualPage, log);
    m_watcher = new RunWatcher(m_platform, this, *m_submitPage, *m_hiddenPage, m_session, this);

    m_hiddenPage->setUserAgent(AppTitle);
    QApplication::setApplicationName(AppTitle);
    QApplication::setApplicationVersion(Version);
    QApplication::setWindowIcon(LoadIcon(baseDir(), IconFile));
    setWindowIcon(LoadIcon(baseDir(), IconFile));
    m_infoPage->setLogo(LoadPicture(baseDir(), LogoFile));
    setWindowTitle(AppTitle);
    // The project save dialog proposes "Quillcast Project" the first time.
    m_lastProjectName = AppTitle + QStringLiteral(" Project");
    m_pageControl->setCurrentWidget(m_settingsPage);
    if (m_startup.DebugMode)
        m_platform.messageBox(this, ParametersWithValues(m_startup), QStringLiteral("All Parameters"), Platform::Ok);
    // The working page only in debug mode.
    m_pageControl->setTabVisible(m_pageControl->indexOf(m_hiddenPage), m_startup.DebugMode);
    RestoreWindowPlacement(*this, m_session.appIniPath());
    m_aboutBox = new TAboutBox(m_platform, baseDir(), this);
    connectControls();
    RefreshControls();
}

TMainForm::~TMainForm() = default;

void TMainForm::createPages()
{
    m_pageControl = Named<QTabWidget>(QStringLiteral("PageControl"));
    // Every tab title is shown whole: the window is never narrower than the tabs.
    m_pageControl->tabBar()->setUsesScrollButtons(false);
    m_pageControl->tabBar()->setElideMode(Qt::ElideNone);
    m_infoPage = new InfoPage;
    m_settingsPage = new SettingsPage(m_platform, m_urlModel);
    m_submitPage = new SubmitPage;
    m_manualPage = new ManualPage;
    m_hiddenPage = new HiddenPage;
    m_pageControl->addTab(m_infoPage, QStringLiteral("Sender Info"));
    m_pageControl->addTab(m_settingsPage, QStringLiteral("Settings for search engines"));
    m_pageControl->addTab(m_submitPage, QStringLiteral("Submit URL's"));
    m_pageControl->addTab(m_manualPage, QStringLiteral("Manual Submit"));
    m_pageControl->addTab(m_hiddenPage, QStringLiteral("Hidden"));

    m_noProjectLabel =
        Named<QLabel>(QStringLiteral("NoProjectLabel"),
                      QStringLiteral("No project is open.\n\nCreate one with File \u25B8 New Project, or open one with "
                                     "File \u25B8 Open Project."));
    m_noProjectLabel->setAlignment(Qt::AlignCenter);
    m_noProjectLabel->setWordWrap(true);
    m_noProjectLabel->setMargin(16);

    m_central = Named<QStackedWidget>(QStringLiteral("PageStack"));
    m_central->addWidget(m_noProjectLabel);
    m_central->addWidget(m_pageControl);
    setCentralWidget(m_central);
}

void TMainForm::connectControls()
{
    connect(m_commands.newProject, &QAction::triggered, this, &TMainForm::newProject);
    connect(m_commands.openProject, &QAction::triggered, this, &TMainForm::openProject);
    connect(m_commands.saveProject, &QAction::triggered, this, &TMainForm::saveProject);
    connect(m_commands.closeProject, &QAction::triggered, this, &TMainForm::closeProject);
    connect(m_commands.deleteProject, &QAction::triggered, this, &TMainForm::deleteProject);
    connect(m_commands.exit, &QAction::triggered, this, &TMainForm::exitProgram);
    connect(m_commands.importUrlList, &QAction::triggered, m_urlCommands, &UrlCommands::importUrlList);
    connect(m_commands.importSitemap, &QAction::triggered, m_urlCommands, &UrlCommands::importSitemapFile);
    connect(m_commands.importSitemapAddress, &QAction::triggered, m_urlCommands, &UrlCommands::importSitemapAddress);
    connect(m_commands.help, &QAction::triggered, this, [this] { m_platform.openInShell(HelpURL); });
    connect(m_commands.includeEngine, &QAction::triggered, this, [this] { m_platform.openInShell(IncludeEngineURL); });
    connect(m_commands.about, &QAction::triggered, this, &TMainForm::showAbout);
    connect(m_infoPage, &InfoPage::logoClicked, this, &TMainForm::openHomePage);

    // Every edit of a project setting marks the project modified; changes the
    // program makes on the user's behalf count as well.
    connect(m_binding, &SettingsBinding::edited, this, &TMainForm::MarkModified);
    connect(m_engineCommands, &EngineCommands::edited, this, &TMainForm::MarkModified);
    connect(m_engineCommands, &EngineCommands::changed, this, &TMainForm::RefreshControls);
    connect(m_engineCommands, &EngineCommands::busy, this, [this](bool on) { SetBusyCursor(on ? 1 : 0); });
    connect(m_engineCommands, &EngineCommands::dialogClosed, this, &TMainForm::ownDialogClosed);
    connect(m_urlCommands, &UrlCommands::urlsChanged, this, &TMainForm::MarkModified);
    connect(m_urlCommands, &UrlCommands::changed, this, &TMainForm::RefreshControls);
    connect(m_urlCommands, &UrlCommands::busy, this, [this](bool on) { SetBusyCursor(on ? 1 : 0); });
    connect(m_urlModel, &UrlTableModel::afterPost, this, &TMainForm::MarkModified);
    connect(m_urlModel, &UrlTableModel::afterDelete, this, &TMainForm::MarkModified);
    connect(m_urlModel, &UrlTableModel::failed, this,
            [this](const QString &message) { m_platform.showError(this, message); });

    connect(m_submitPage, &SubmitPage::submitClicked, this, &TMainForm::submit);
    connect(m_submitPage, &SubmitPage::searchClicked, this, &TMainForm::search);
    connect(m_submitPage, &SubmitPage::viewReportClicked, this, [this] { m_platform.openInShell(reportPath()); });
    RunControl *control = &m_network->control();
    connect(m_submitPage, &SubmitPage::skipUrlClicked, control, &RunControl::skipUrl);
    connect(m_submitPage, &SubmitPage::skipEngineClicked, control, &RunControl::skipEngine);
    connect(m_submitPage, &SubmitPage::stopClicked, control, &RunControl::stop);
    connect(m_watcher, &RunWatcher::senderPageWanted, this, [this] { m_pageControl->setCurrentWidget(m_infoPage); });
    connect(m_watcher, &RunWatcher::stateChanged, this, &TMainForm::RefreshControls);
}

RunControl &TMainForm::runControl() const
{
    return m_network->control();
}

bool TMainForm::RunInProgress() const
{
    return m_network && m_network->control().inProgress();
}

void TMainForm::MarkModified()
{
    m_modified = true;
    RefreshControls();
}

void TMainForm::RefreshControls()
{
    m_statusBar->showProjectId(projectId());
    // Without a project only New, Open, Delete, Exit and Help act.
    if (projectId() == 0) {
        m_central->setCurrentWidget(m_noProjectLabel);
        for (QAction *command : {m_commands.newProject, m_commands.openProject, m_commands.deleteProject})
            command->setEnabled(true);
        for (QAction *command : {m_commands.closeProject, m_commands.saveProject})
            command->setEnabled(false);
        m_commands.dataMenu->setEnabled(false);
        m_commands.dataMenu->menuAction()->setEnabled(false);
        return;
    }
    // While a run is in progress the project cannot change under it.
    const bool idle = !RunInProgress();
    m_central->setCurrentWidget(m_pageControl);
    for (QAction *command : {m_commands.newProject, m_commands.openProject, m_commands.closeProject})
        command->setEnabled(idle);
    m_commands.deleteProject->setEnabled(false);
    m_commands.saveProject->setEnabled(m_modified);
    m_commands.dataMenu->setEnabled(idle);
    m_commands.dataMenu->menuAction()->setEnabled(idle);
    m_manualPage->setIdle(idle);
    m_settingsPage->refresh(idle, currentSettings().exciteComplete());
    // The selected engine's grid column; kept while nothing is selected.
    const QString selectedEngine = m_settingsPage->selectedEngine();
    if (!selectedEngine.isEmpty() && engines().indexOf(selectedEngine) >= 0)
        m_urlModel->setFlagColumn(engines().columnOf(selectedEngine));
    // A state pass runs inside event handlers: a failing count shows nothing
    // rather than throw through the event loop.
    try {
        m_settingsPage->setUrlCount(QString::number(urlTable().rowCount()));
    } catch (const std::exception &) {
        m_settingsPage->setUrlCount(QString());
    }
}

void TMainForm::SetBusyCursor(int on)
{
    if (on != 0 && on != 1)
        return;
    if (on)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    m_settingsPage->setBusy(on);
    m_manualPage->setBusy(on);
}

void TMainForm::showFailure(const std::exception &failure)
{
    m_platform.showError(this, QString::fromUtf8(failure.what()));
}

void TMainForm::showProject()
{
    m_binding->show(m_session.settings());
    m_modified = false;
    m_outside->fileSeen(m_session.file());
    m_pageControl->setCurrentWidget(m_infoPage);
    m_submitPage->log().clear();
    // What the command line got wrong stays in view when a project opens.
    showCommandLineMistakes();
    m_statusBar->showProjectId(projectId());
    urlTable().setFilter(projectId());
    m_outside->tableSeen();
    setWindowTitle(AppTitle + QStringLiteral(" : ") + m_session.file());
}

void TMainForm::newProject()
{
    try {
        if (!closeIfModified())
            return;
        const QString chosen = m_platform.saveFileName(this, NewProjectDialog(baseDir(), m_lastProjectName));
        if (chosen.isEmpty()) {
            // An open, unchanged project stays open.
            m_modified = false;
            RefreshControls();
            return;
        }
        m_lastProjectName = QFileInfo(chosen).fileName();
        // The automatic engines, all unchecked, before the project's choice is applied.
        m_engineCommands->loadEngineList();
        m_session.create(chosen, engines().names());
        showProject();
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::openProject()
{
    try {
        if (!closeIfModified())
            return;
        const QString title = QStringLiteral("Open a ") + AppTitle + QStringLiteral(" Project");
        const QString chosen = m_platform.openFileName(this, ProjectFileDialog(baseDir(), title));
        if (!chosen.isEmpty())
            openProjectFile(chosen);
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::openProjectFile(const QString &path)
{
    m_engineCommands->loadEngineList();
    const bool valid = m_session.open(path);
    showProject();
    // The publisher's list addresses that the refresh fills in are no change of the user's.
    RefreshControls();
    m_modified = false;
    if (!valid) {
        // An ID the table cannot hold exactly would mix this project's URLs with another's.
        const QString problem = m_session.idProblem();
        m_platform.messageBox(this,
                              problem.isEmpty() ? QStringLiteral("This project has an invalid ID")
                                                : QStringLiteral("This project has an invalid ID: ") + problem,
                              QStringLiteral("Error"), Platform::Ok);
    }
}

bool TMainForm::closeIfModified()
{
    if (!m_modified)
        return true;
    closeProject();
    if (!m_closeCancelled)
        return true;
    m_closeCancelled = false;
    return false;
}

void TMainForm::saveProject()
{
    try {
        m_session.save(engines().names());
        m_outside->fileSeen(m_session.file());
        m_modified = false;
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    RefreshControls();
}

void TMainForm::closeProject()
{
    if (m_modified) {
        const Platform::Button answer =
            m_platform.messageBox(this, QStringLiteral("Do you want to save the current settings for this project?"),
                                  QStringLiteral("Confirm"), Platform::Yes | Platform::No | Platform::Cancel);
        if (answer == Platform::Cancel) {
            m_closeCancelled = true;
            return;
        }
        if (answer == Platform::Yes) {
            saveProject();
            // A save that failed keeps the project open rather than lose its changes.
            if (m_modified) {
                m_closeCancelled = true;
                return;
            }
        }
    }
    // A run of this project ends with it.
    if (RunInProgress())
        runControl().stop();
    m_session.close();
    m_binding->clearNames();
    m_modified = false;
    setWindowTitle(AppTitle);
    RefreshControls();
}

void TMainForm::deleteProject()
{
    try {
        const QString chosen =
            m_platform.openFileName(this, ProjectFileDialog(baseDir(), QStringLiteral("Delete a project")));
        if (chosen.isEmpty())
            return;
        m_engineCommands->loadEngineList();
        m_session.open(chosen);
        m_binding->show(m_session.settings());
        m_modified = false;
        const QString question = QStringLiteral("About to delete \"") + m_session.file() +
                                 QStringLiteral("\" permanently, press YES to do it and NO to keep it");
        if (m_platform.messageBox(this, question, QStringLiteral("Deleting Project"), Platform::Yes | Platform::No,
                                  Platform::Icon::Stop) != Platform::Yes) {
            closeProject();
            return;
        }
        bool deleted = false;
        {
            // A run of another program may be writing the project's rows: the
            // project stays whole until it is over.
            const DirectoryLock::Scope lock(*m_lock);
            if (!lock.held()) {
                closeProject();
                return;
            }
            deleted = m_session.remove();
        }
        if (deleted)
            m_platform.messageBox(this, QStringLiteral("Project has been deleted"), QStringLiteral("Finished"),
                                  Platform::Ok);
        closeProject();
        if (!deleted)
            m_platform.messageBox(this, QStringLiteral("Cannot delete the project, make sure it is not in use."),
                                  QStringLiteral("Error Deleting the Project"), Platform::Ok);
    } catch (const std::exception &failure) {
        m_modified = false;
        closeProject();
        showFailure(failure);
    }
}

void TMainForm::exitProgram()
{
    if (!closeIfModified())
        return;
    try {
        SaveWindowPosition();
    } catch (const std::exception &failure) {
        showFailure(failure);
        return;
    }
    runControl().stop(); // a run in progress stops at its next check
    QApplication::exit(0);
}

void TMainForm::SaveWindowPosition()
{
    SaveWindowPlacement(*this, m_session.appIniPath());
}

void TMainForm::FormActivate()
{
    // The command line's steps run once, at the first activation: a box or
    // dialog closed later activates the window again and must not reopen the
    // project or start another run.
    if (!m_startupDone) {
        m_startupDone = true;
        showCommandLineMistakes();
        runCommandLine();
    }
    m_engineCommands->loadManualList();
}

void TMainForm::showCommandLineMistakes()
{
    // A mistake on the command line is told and passed over.
    for (const QString &error : m_startup.UsageErrors)
        m_submitPage->log().AddStatusLine(QStringLiteral("Command line: ") + error, StatusKind::Failure);
}

void TMainForm::runCommandLine()
{
    StartupSteps::Window steps;
    steps.opened = [this] {
        m_engineCommands->showEngineList();
        showProject();
        // The publisher's list addresses that the refresh fills in are no change of the user's.
        RefreshControls();
        m_modified = false;
        QApplication::processEvents();
    };
    steps.busy = [this](bool on) { SetBusyCursor(on ? 1 : 0); };
    steps.imported = [this] {
        RefreshControls();
        QApplication::processEvents();
    };
    steps.keyMade = [this] {
        // Saved already: the window holds no change of its own because of it.
        m_binding->showIndexNowKey(currentSettings().indexNowKey);
        if (!m_modified)
            m_outside->fileSeen(m_session.file());
        RefreshControls();
    };
    steps.run = [this](bool search) {
        m_pageControl->setCurrentWidget(m_submitPage);
        const bool ran = startRun(search);
        QApplication::processEvents();
        return ran;
    };
    StartupSteps(m_startup, m_session, *m_network, *m_lock, m_platform, this, m_submitPage->log(), steps).run();
}

void TMainForm::submit()
{
    startRun(false);
}

void TMainForm::search()
{
    startRun(true);
}

bool TMainForm::startRun(bool search)
{
    // Without a project there is nothing to run, and no directory whose old answers could go.
    if (RunInProgress() || projectId() == 0)
        return false;
    const DirectoryLock::Scope lock(*m_lock);
    if (!lock.held())
        return false;
    bool ran = false;
    try {
        const RunSetup setup = MakeRunSetup(m_session, engines(), m_startup, ProgramIdentity());
        // The report shows the picture from the base directory.
        if (!search && setup.settings.statusLog)
            EnsurePictureFile(baseDir(), ReportImageFile);
        m_watcher->begin();
        const std::unique_ptr<Run> run = search ? m_network->searchRun(setup, urlTable(), *m_watcher)
                                                : m_network->submissionRun(setup, urlTable(), *m_watcher);
        run->run();
        m_lastTally = run->tally();
        ran = !m_watcher->refused() && run->fatalError().isEmpty();
        m_engineCommands->followRun(run->engines());
    } catch (const std::exception &failure) {
        showFailure(failure);
    }
    if (m_closedDuringRun) {
        m_closedDuringRun = false;
        // Queued: the loop that ends the program may be further out than this call.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return ran;
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // The title bar's close asks about unsaved changes as File > Exit does; a
    // run in progress keeps its project until it has stopped.
    if (!RunInProgress() && !closeIfModified()) {
        event->ignore();
        return;
    }
    if (RunInProgress()) {
        runControl().stop();
        m_closedDuringRun = true;
    }
    QMainWindow::closeEvent(event);
}

void TMainForm::showAbout()
{
    m_platform.execDialog(*m_aboutBox);
    ownDialogClosed();
}

void TMainForm::openHomePage()
{
    m_platform.openInShell(HomePageURL);
}

void TMainForm::ownDialogClosed()
{
    // The focus may be back already, or come back with the next activation.
    if (isActiveWindow())
        FormActivate();
    else
        m_reloadOnActivate = true;
}

bool TMainForm::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::StatusTip:
        // The long part of the hint under the pointer goes to the second panel of the status bar.
        m_statusBar->showHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    case QEvent::WindowActivate:
        // Coming back from a box, a file dialog or another program leaves the
        // manual page as the user left it.
        if (!m_startupDone || m_reloadOnActivate) {
            m_reloadOnActivate = false;
            FormActivate();
        }
        // A cron run may have worked while the user was away.
        showChangesMadeElsewhere();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

void TMainForm::showChangesMadeElsewhere()
{
    if (!m_startupDone || projectId() == 0 || RunInProgress() || m_lock->isHeld())
        return;
    // A row being edited in the grid is the user's: the view waits for it.
    if (m_urlModel->state() == UrlTableModel::State::Browse && m_outside->tableChanged())
        m_urlModel->refresh();
    // Changes of the window's own are kept; the user decides at the next save.
    if (!m_modified && m_outside->fileChanged(m_session.file())) {
        const ProjectSettings settings = ProjectSettings::load(m_session.file());
        if (settings.projectId == projectId()) {
            m_binding->show(settings);
            RefreshControls();
            m_modified = false;
        }
        m_outside->fileSeen(m_session.file());
    }
    RefreshControls();
}
