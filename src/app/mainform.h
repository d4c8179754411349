#pragma once

#include "runs/commandline.h"
#include "app/hiddenpage.h"
#include "app/infopage.h"
#include "app/manualpage.h"
#include "app/settingspage.h"
#include "app/submitpage.h"
#include "engines/enginecatalogue.h"
#include "project/projectsettings.h"
#include "runs/run.h"
#include "runs/runobserver.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class Platform;
class RunControl;
class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QToolButton;
class TAboutBox;
class TAdvancedEngineForm;
class THTTPClient;
class UrlTable;
class UrlTableModel;
struct UrlList;

// The program's only working window, and the hub of its commands and state.
// Every user action is a handler named after its control and event; every
// handler ends in RefreshControls(), the one place that derives what is
// enabled, visible and shown from the state below.
// The program's only working window. It shows the open project and forwards
// the user's commands: the project's settings live in the pages and become a
// ProjectSettings value whenever something needs them; runs are core objects
// the window starts and watches (it is their observer), and its Skip and Stop
// buttons go to the run control. Every user action is a handler named after
// its control and event; every handler ends in RefreshControls(), the one place
// that derives what is enabled, visible and shown.
class TMainForm : public QMainWindow, private RunObserver
{
    Q_OBJECT

public:
    static constexpr int MaxEngines = EngineCatalogue::MaxEngines;

    // Runs the creation sequence. Throws UrlTableError when the URL table
    // cannot be opened (the program then ends after showing the error).
    TMainForm(Platform &platform, const QStringList &arguments, QWidget *parent = nullptr);
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
    RunControl &runControl() const { return *m_control; }
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
    void SettingsEngineAdvancedBitBtnClick();
    void ManualEnginesListBoxClick();
    void ManualRefreshBitBtnClick();

    // Runs. Both return when the run is over; a click while a run is in
    // progress (from inside its wait) is ignored.
    void SubmitBitBtnClick();
    void SearchURLsBitBtnClick();
    void ViewReportBitBtnClick();

    // Activation and the unattended sequence.
    void FormActivate();
    // The unattended sequence; returns the program's exit status.
    int StartupActions();
    void SaveWindowPosition();
    void About1Click();

    // Window commands that open the publisher's pages.
    void HelpIndexClick();
    void IncludeEngineClick();
    void LogoImageClick();

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
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
    void senderMissing() override;
    void reportNotCreated() override;
    void engineListMissing(const QString &path) override;
    void runStateChanged(bool inProgress) override;

    void createMenus();
    void createToolBarAndPages(QWidget *central);
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
    // Reads path as the open project; unattended, the URL list replaces its URLs
    // and an invalid ID is reported with the path.
    void openProjectFile(const QString &path, bool unattended);
    // Runs Close when the project is modified; false when the user cancelled.
    bool closeIfModified();
    void SubmitTimeoutEditChange();
    void TimeoutSlideBarChange(int value);
    void setSliderPosition(int value);
    void showFailure(const std::exception &failure);
    void applyUrlFilter();
    // Loads the automatic list into the catalogue and the check list, all unchecked.
    void LoadEngineCheckList();
    void AddStatusLine(const QString &text, int kind);
    // The lines an import passed over: in the status log, and unattended also on standard error.
    void reportUrlListWarnings(const UrlList &list);
    // Builds what a run reads and runs it.
    void startRun(bool search);
    RunSetup runSetup() const;
    // Started with "/exit" or without a display: the program ends by itself.
    bool unattended() const;
    QString unattendedSummary(int status) const;

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
    QString ProjectDir;
    QString ReportPath;
    bool Modified = false;
    QString ExciteLanguage;
    QString ExciteLocation;
    QString ExciteCategory;
    // Recomputed by every RefreshControls() pass.
    QString AutoListURL;
    QString ManualListURL;
    bool StatusLogOn = false;

    EngineCatalogue m_engines;
    QList<EngineTally> m_lastTally;
    QList<EngineTally> m_submitTally; // the unattended sequence's runs
    QList<EngineTally> m_searchTally;
    bool m_stepFailed = false; // a step of the unattended sequence could not run

    // The pages and their controls.
    InfoPage Info;
    SettingsPage Settings;
    SubmitPage Submit;
    ManualPage Manual;
    HiddenPage Hidden;

    QAction *NewProjectAction = nullptr;
    QAction *OpenProjectAction = nullptr;
    QAction *SaveProjectAction = nullptr;
    QAction *DeleteProjectAction = nullptr;
    QAction *CloseProjectAction = nullptr;
    QAction *ExitAction = nullptr;
    QAction *ImportfromfileAction = nullptr;
    QAction *URLDropWindowAction = nullptr;
    QAction *HelpIndexAction = nullptr;
    QAction *IncludeEngineAction = nullptr;
    QAction *AboutAction = nullptr;
    QMenu *DataMenu = nullptr;
    QToolButton *NewProjectSpeedButton = nullptr;
    QToolButton *OpenProjectSpeedButton = nullptr;
    QToolButton *CloseProjectSpeedButton = nullptr;
    QToolButton *SaveProjectSpeedButton = nullptr;
    QToolButton *DeleteProjectSpeedButton = nullptr;
    QToolButton *ExitSpeedButton = nullptr;
    QLabel *StatusBarIdPanel = nullptr;   // first panel: the project ID
    QLabel *StatusBarHintPanel = nullptr; // second panel: the hint under the pointer
    TAboutBox *AboutBox = nullptr;
    TAdvancedEngineForm *AdvancedEngineForm = nullptr;

    Platform &m_platform;
    std::unique_ptr<UrlTable> m_urlTable;
    UrlTableModel *m_urlModel = nullptr;
    std::unique_ptr<THTTPClient> m_http;
    RunControl *m_control = nullptr;
    class PaintThrottle *m_paintThrottle = nullptr; // engaged while a run is in progress
    QTabWidget *m_pageControl = nullptr;
    QSize m_fixedSize;
    QString m_lastProjectName;
    bool m_closedDuringRun = false;
    bool m_startupDone = false;    // the start-up actions run at the first activation only
    bool m_inStartupActions = false;
    bool m_closeCancelled = false; // the close-cancelled signal of the Close command
};
