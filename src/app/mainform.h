#pragma once

#include "app/windowcommands.h"
#include "engines/enginecatalogue.h"
#include "project/session/projectsession.h"
#include "runs/commandline.h"
#include "runs/enginetally.h"

#include <QMainWindow>
#include <memory>

class DirectoryLock;
class EngineCommands;
class HiddenPage;
class InfoPage;
class ManualPage;
class OutsideChanges;
class Platform;
class RunControl;
class RunServices;
class RunWatcher;
class SettingsBinding;
class SettingsPage;
class SubmitPage;
class TAboutBox;
class UrlCommands;
class UrlTable;
class UrlTableModel;
class WindowStatusBar;
class QLabel;
class QStackedWidget;
class QTabWidget;

// The program's working window. It shows the open project (a ProjectSession,
// whose settings value the pages show and edit) and forwards the user's
// commands: the project commands are its own, the URL and engine commands
// belong to UrlCommands and EngineCommands, and a run is a core object it
// starts and a RunWatcher shows. RefreshControls() is the one place that
// derives what is enabled, visible and shown.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // Takes the start-up flags main() parsed from the command line; the window
    // never reads the command line itself. Throws UrlTableError when the URL
    // table cannot be opened (the program then ends after showing the error).
    TMainForm(Platform &platform, const StartupFlags &startup, QWidget *parent = nullptr);
    ~TMainForm() override;

    // What the window shows, for the program and its tests.
    QString baseDir() const { return m_session.baseDir(); }
    const StartupFlags &startup() const { return m_startup; }
    int projectId() const { return m_session.id(); }
    QString projectFile() const { return m_session.file(); }
    QString projectDir() const { return m_session.directory(); }
    QString reportPath() const { return m_session.reportPath(); }
    bool isModified() const { return m_modified; }
    Platform &platform() const { return m_platform; }
    UrlTable &urlTable() const { return m_session.table(); }
    RunControl &runControl() const;
    const EngineCatalogue &engines() const { return m_session.engines(); }
    // The open project's settings as the pages show them now.
    const ProjectSettings &currentSettings() const { return m_session.settings(); }
    // Per engine, what the last run did (empty before the first run).
    const QList<EngineTally> &lastTally() const { return m_lastTally; }
    bool RunInProgress() const;
    UrlCommands &urlCommands() const { return *m_urlCommands; }
    EngineCommands &engineCommands() const { return *m_engineCommands; }

    void RefreshControls();
    void MarkModified();
    // 1 shows the busy cursor over the window and the download controls, 0 takes it away.
    void SetBusyCursor(int on);

    // The project commands. Each asks to save a modified project first where
    // it closes it; a user's Cancel leaves everything as it was.
    void newProject();
    void openProject();
    void saveProject();
    void closeProject();
    void deleteProject();
    void exitProgram();

    // Runs. Both return when the run is over; a click while a run is in
    // progress (from inside its wait) is ignored.
    void submit();
    void search();

    // Runs at the first activation, and when the focus comes back from the
    // About box or the Excite settings (coming back from another program, a
    // message box or a file dialog leaves the manual page as the user left
    // it): the first time the command line's steps, each time the manual list.
    void FormActivate();
    // The window's size goes to the application ini.
    void SaveWindowPosition();

    void showAbout();
    // The publisher's home page (a click on the logo).
    void openHomePage();

protected:
    bool event(QEvent *event) override;
    // A user's close ends a run in progress (a stop) and then the program.
    void closeEvent(QCloseEvent *event) override;

private:
    void createPages();
    void connectControls();

    // The session's project in the pages, unmodified, with its URLs in the grid.
    void showProject();
    // Opens the project file the user chose; an invalid ID is told in a box.
    void openProjectFile(const QString &path);
    // Runs Close when the project is modified; false when the user cancelled.
    bool closeIfModified();
    void showFailure(const std::exception &failure);
    // The command line's mistakes as lines of the status log.
    void showCommandLineMistakes();
    // The command line's steps (StartupSteps) on this window.
    void runCommandLine();
    // False when the run did not start, was refused or could not write its files.
    bool startRun(bool search);
    // One of the program's own dialogs has closed: the manual page reloads once the focus is back.
    void ownDialogClosed();
    // Another program (a cron run) may have changed the URL table or the
    // project file since the window last looked: shows the table afresh, and
    // the file's settings when the window holds no changes of its own.
    void showChangesMadeElsewhere();

    StartupFlags m_startup;
    Platform &m_platform;
    ProjectSession m_session; // the project, its URL table and the engine catalogue
    std::unique_ptr<RunServices> m_network; // the HTTP client and the network jobs over it
    std::unique_ptr<DirectoryLock> m_lock;
    std::unique_ptr<OutsideChanges> m_outside;
    UrlTableModel *m_urlModel = nullptr;
    SettingsBinding *m_binding = nullptr;
    UrlCommands *m_urlCommands = nullptr;
    EngineCommands *m_engineCommands = nullptr;
    RunWatcher *m_watcher = nullptr;
    bool m_modified = false;
    QList<EngineTally> m_lastTally;

    // The pages, shown in place of the no-project text once a project is open.
    QStackedWidget *m_central = nullptr;
    QLabel *m_noProjectLabel = nullptr;
    QTabWidget *m_pageControl = nullptr;
    InfoPage *m_infoPage = nullptr;
    SettingsPage *m_settingsPage = nullptr;
    SubmitPage *m_submitPage = nullptr;
    ManualPage *m_manualPage = nullptr;
    HiddenPage *m_hiddenPage = nullptr;
    TAboutBox *m_aboutBox = nullptr;

    WindowCommands m_commands; // one action per command, shared by the menus and the tool bar
    WindowStatusBar *m_statusBar = nullptr;

    QString m_lastProjectName;
    bool m_closedDuringRun = false;
    bool m_startupDone = false;      // the command line's steps run at the first activation only
    bool m_reloadOnActivate = false; // one of the program's own dialogs has closed
    bool m_closeCancelled = false;   // the user cancelled the Close that another command ran
};
