#pragma once

#include "engines/enginecatalogue.h"
#include "project/projectsettings.h"
#include "runs/commandline.h"
#include "runs/run.h"
#include "runs/runobserver.h"

#include <QMainWindow>
#include <QStyle>
#include <array>
#include <functional>
#include <memory>

class BaseLock;
class HiddenPage;
class InfoPage;
class ManualPage;
class Platform;
class RunControl;
class SettingsPage;
class SubmitPage;
class QAction;
class QDialog;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabWidget;
class QToolBar;
class TAboutBox;
class TAdvancedEngineForm;
class RunServices;
class UrlTable;
class UrlTableModel;
struct UrlList;

// The program's only working window. It shows the open project and forwards
// the user's commands: the project's settings live in the pages, each a widget
// that shows and fills its part of a ProjectSettings value; runs are core objects
// the window starts and watches (it is their observer), and its Skip and Stop
// buttons go to the run control. Every user action is a handler named after
// its control and event; every handler ends in RefreshControls(), the one place
// that derives what is enabled, visible and shown.
class TMainForm : public QMainWindow, private RunObserver
{
    Q_OBJECT

public:
    static constexpr int MaxEngines = EngineCatalogue::MaxEngines;

    // Runs the creation sequence with the start-up flags main() parsed from the
    // command line; the window never reads the command line itself. Throws
    // UrlTableError when the URL table cannot be opened (the program then ends
    // after showing the error).
    TMainForm(Platform &platform, const StartupFlags &startup, QWidget *parent = nullptr);
    ~TMainForm() override;

    // What the window shows, for the program and its tests.
    QString baseDir() const { return BaseDir; }
    const StartupFlags &startup() const { return Startup; }
    int projectId() const { return ProjectId; }
    QString projectFile() const { return ProjectFile; }
    QString projectDir() const { return ProjectDir; }
    QString reportPath() const { return ReportPath; }
    bool isModified() const { return Modified; }
    Platform &platform() const { return m_platform; }
    UrlTable &urlTable() const { return *m_urlTable; }
    RunControl &runControl() const;
    const EngineCatalogue &engines() const { return m_engines; }
    // The project's settings as the pages show them now.
    ProjectSettings currentSettings() const;
    // Per engine, what the last run did (empty before the first run).
    const QList<EngineTally> &lastTally() const { return m_lastTally; }
    bool RunInProgress() const;
    bool DebugMode() const { return Startup.DebugMode; }
    bool TestMode() const { return Startup.TestMode; }

    void RefreshControls();
    void MarkModified();
    void SetBusyCursor(int on);

    // Projects.
    void NewProjectClick();
    void OpenProjectClick();
    void SaveProjectClick();
    void CloseProjectClick();
    void DeleteProjectClick();
    void ExitClick();
    static bool RemoveProjectDirectory(const QString &path);
    static bool EnsureDirectory(const QString &path);

    // The URL table.
    void AddURL();
    void ImportfromfileClick();
    // A sitemap file: the project's URLs become its pages (see ReplaceURLsFromSitemap).
    void ImportSitemapClick();
    // The same from an http(s) address the user types.
    void ImportSitemapAddressClick();
    // The project's URLs become the pages of the sitemaps (files or http(s)
    // addresses) together, in one step: already submitted ones stay so unless
    // their lastmod changed. False, having changed nothing and said why, when a
    // sitemap cannot be read, none gives a valid URL, or another program holds
    // the base directory.
    bool ReplaceURLsFromSitemap(const QStringList &fileOrUrls);
    // The project's URLs become those of the "/urllist" file. False, having
    // changed nothing and said why, as ReplaceURLsFromSitemap().
    bool ReplaceURLsFromFile();
    void EnableAllURLsBitBtnClick();
    void URLTableAfterPost();
    void URLTableAfterDelete();

    // Engines.
    void LoadManualEngineList();
    // Fetches both lists; returns what went wrong when neither was replaced.
    QStringList DownloadEngineLists();
    void SettingsEnableAllSearchEnginesBitBtnClick();
    void SettingsDisableAllSearchEnginesBitBtnClick();
    // Opens the Excite settings; the manual page reloads when the focus comes back.
    void SettingsEngineAdvancedBitBtnClick();
    // Writes the IndexNow key, as the file's only content, where the user chooses;
    // an invalid key is refused with a box that says what a key must be.
    void SettingsIndexNowKeyFileBitBtnClick();
    void ManualEnginesListBoxClick();
    void ManualRefreshBitBtnClick();

    // Runs. Both return when the run is over; a click while a run is in
    // progress (from inside its wait) is ignored.
    void SubmitBitBtnClick();
    void SearchURLsBitBtnClick();
    void ViewReportBitBtnClick();

    // Activation and the unattended sequence. The window runs FormActivate at its
    // first activation and when the focus comes back from the About box or the
    // Excite settings; coming back from another program, a message box or a file
    // dialog leaves the manual page as the user left it.
    void FormActivate();
    // The unattended sequence; returns the program's exit status. The base
    // directory is locked through all its steps when it has any (see lockBase()).
    int StartupActions();
    // The window's size (and place) go to the application ini; the size is
    // restored at the next start, at least the window's minimum.
    void SaveWindowPosition();
    // Shows the About box; the manual page reloads when the focus comes back.
    void About1Click();

    // Window commands that open the publisher's pages.
    void HelpIndexClick();
    void IncludeEngineClick();
    void LogoImageClick();

protected:
    bool event(QEvent *event) override;
    // A user's close ends a run in progress (a stop) and then the program.
    void closeEvent(QCloseEvent *event) override;

private:
    // The run's observer: what a run reports lands in the status log, the gauges,
    // the timeout meter and the working page.
    void statusLine(const QString &text, StatusKind kind) override;
    void requestProgress(int percent) override;
    void runProgress(int done, int total) override;
    void timeoutTick(int seconds, int limit) override;
    void answerShown(const QString &piece) override;
    void answerCleared() override;
    void searchAnswerShown(const QString &answer) override;
    void senderMissing(const QString &field) override;
    void runFailed(const QString &text) override;
    void reportNotCreated() override;
    void engineListMissing(const QString &path) override;
    void nothingChosen() override;
    void runStateChanged(bool inProgress) override;

    void createCommands();
    // A menu command; put on the tool bar too by showOnToolBar().
    QAction *addCommand(QMenu *menu, const QString &name, const QString &text, const QString &hint);
    void showOnToolBar(QToolBar *bar, QAction *command, const QString &buttonName, const QString &buttonText,
                       const QString &hint, QStyle::StandardPixmap picture);
    void createPages();
    void createStatusBar();
    void connectControls();
    void connectEngineControls();
    void connectRunControls();
    void RestoreWindowPosition();
    // Reads the project file into the pages; the engine list is loaded first.
    void LoadProjectSettings();
    void SaveProjectSettings();
    void ShowProject();
    void showSettings(const ProjectSettings &settings);
    // Runs one of the program's own dialogs; the manual page reloads once the focus is back.
    int execReloadingDialog(QDialog &dialog);
    // Reads path as the open project; unattended, the URL list replaces its URLs
    // and an invalid ID is reported with the path.
    void openProjectFile(const QString &path, bool unattended);
    // Runs Close when the project is modified; false when the user cancelled.
    bool closeIfModified();
    void showFailure(const std::exception &failure);
    void applyUrlFilter();
    // Loads the automatic list into the catalogue and the check list, all unchecked.
    void LoadEngineCheckList();
    void AddStatusLine(const QString &text, StatusKind kind);
    // The lines an import passed over: in the status log, and unattended also on standard error.
    void reportUrlListWarnings(const UrlList &list);
    // A line of input passed over: in the status log, and unattended also on standard error.
    void tellSkipped(const QString &text);
    // Builds what a run reads and runs it.
    void startRun(bool search);
    RunSetup runSetup() const;
    // Started with "/exit" or without a display: the program ends by itself.
    bool unattended() const;
    QString unattendedSummary(int status) const;
    // The unattended key steps: "/newkey" gives a project without a key a new
    // one, saved in the project file; "/keyfile" writes the key file into the
    // directory given. False, having said why, when the step could not be done.
    bool makeIndexNowKey();
    bool writeIndexNowKeyFile(const QString &directory);
    // A step of the unattended sequence could not run: says why, and the sequence ends with status 1.
    void failStep(const QString &caption, const QString &text);

    // The base directory belongs to one run or import at a time, of this
    // program or another (a cron job beside an idle window): lockBase() takes
    // it, or says who holds it (unattended on standard error, otherwise in a
    // box) and returns false. Nested calls count; unlockBase() gives it back
    // with the last one. WorkLock does both for a scope.
    bool lockBase();
    void unlockBase();
    class WorkLock
    {
    public:
        explicit WorkLock(TMainForm &form) : m_form(form), m_held(form.lockBase()) {}
        ~WorkLock()
        {
            if (m_held)
                m_form.unlockBase();
        }
        WorkLock(const WorkLock &) = delete;
        WorkLock &operator=(const WorkLock &) = delete;
        bool held() const { return m_held; }

    private:
        TMainForm &m_form;
        bool m_held;
    };

    // Another program (a cron run) may have changed the URL table or the
    // project file since the window last looked: shows the table afresh, and
    // the file's settings when the window holds no changes of its own.
    void showChangesMadeElsewhere();
    // Remembers the project file as the window last read or wrote it.
    void rememberProjectFile();
    // The URL table's change count as SQLite keeps it for other connections' commits.
    qint64 urlTableVersion();

    // Paths, all derived from the current directory at start-up.
    QString BaseDir;
    QString ListsDir;
    QString AppIniPath;
    QString AutoListPath;
    QString ManualListPath;
    StartupFlags Startup;

    // The open project.
    int ProjectId = 0;
    QString ProjectFile;
    QString m_projectIdProblem; // why the file's ID was refused; "" when it gives none or a valid one
    QString ProjectDir;
    QString ReportPath;
    bool Modified = false;
    QString ExciteLanguage;
    QString ExciteLocation;
    QString ExciteCategory;

    EngineCatalogue m_engines;
    QList<EngineTally> m_lastTally;
    QList<EngineTally> m_submitTally; // the unattended sequence's runs
    QList<EngineTally> m_searchTally;
    QStringList m_runNotices;  // what the unattended sequence's runs could not do
    bool m_stepFailed = false; // a step of the unattended sequence could not run

    // The pages, shown in place of the no-project text once a project is open.
    QStackedWidget *m_central = nullptr;
    QLabel *m_noProjectLabel = nullptr;
    QTabWidget *m_pageControl = nullptr;
    InfoPage *m_infoPage = nullptr;
    SettingsPage *m_settingsPage = nullptr;
    SubmitPage *m_submitPage = nullptr;
    ManualPage *m_manualPage = nullptr;
    HiddenPage *m_hiddenPage = nullptr;

    // One action per command, shared by the menu and the tool bar.
    QAction *NewProjectAction = nullptr;
    QAction *OpenProjectAction = nullptr;
    QAction *SaveProjectAction = nullptr;
    QAction *DeleteProjectAction = nullptr;
    QAction *CloseProjectAction = nullptr;
    QAction *ExitAction = nullptr;
    QAction *ImportfromfileAction = nullptr;
    QAction *ImportSitemapAction = nullptr;
    QAction *ImportSitemapAddressAction = nullptr;
    QAction *URLDropWindowAction = nullptr;
    QAction *HelpIndexAction = nullptr;
    QAction *IncludeEngineAction = nullptr;
    QAction *AboutAction = nullptr;
    QMenu *DataMenu = nullptr;
    QLabel *StatusBarIdPanel = nullptr;   // first panel: the project ID
    QLabel *StatusBarHintPanel = nullptr; // second panel: the hint under the pointer
    TAboutBox *AboutBox = nullptr;
    TAdvancedEngineForm *AdvancedEngineForm = nullptr;

    Platform &m_platform;
    std::unique_ptr<BaseLock> m_baseLock;
    int m_lockDepth = 0;
    QByteArray m_projectFileHash; // of the project file as last read or written
    qint64 m_seenUrlTableVersion = -1;
    std::unique_ptr<UrlTable> m_urlTable;
    UrlTableModel *m_urlModel = nullptr;
    std::unique_ptr<RunServices> m_network;         // the HTTP client and the network jobs over it
    class PaintThrottle *m_paintThrottle = nullptr; // engaged while a run is in progress
    QString m_lastProjectName;
    bool m_closedDuringRun = false;
    bool m_startupDone = false;      // the start-up actions run at the first activation only
    bool m_reloadOnActivate = false; // one of the program's own dialogs has closed
    bool m_inStartupActions = false;
    bool m_closeCancelled = false; // the close-cancelled signal of the Close command
};
