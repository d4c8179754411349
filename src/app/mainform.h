#pragma once

#include "app/commandline.h"
#include "app/hiddenpage.h"
#include "app/infopage.h"
#include "app/manualpage.h"
#include "app/settingspage.h"
#include "app/submitpage.h"
#include "engines/enginelist.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class Platform;
struct PlaceholderValues;
class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QToolButton;
class TAboutBox;
class TAdvancedEngineForm;
class THTTPClient;
class TURLCodec;
class UrlTable;
class UrlTableModel;

// One automatic engine of the check list and its column of the URL table.
struct EngineTableEntry
{
    QString name;
    QString column; // "E1" … "E30", or "" when the engine list names none
};

// The program's only working window, and the hub of its commands and state.
// Every user action is a handler named after its control and event; every
// handler ends in RefreshControls(), the one place that derives what is
// enabled, visible and shown from the state below.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int MaxEngines = 30;

    // Runs the creation sequence. Throws UrlTableError when the URL table
    // cannot be opened (the program then ends after showing the error).
    TMainForm(Platform &platform, const QStringList &arguments, QWidget *parent = nullptr);
    ~TMainForm() override;

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
    QString URLFilter;
    bool Modified = false;
    QString ExciteLanguage;
    QString ExciteLocation;
    QString ExciteCategory;
    QString SenderEmail;

    // Recomputed by every RefreshControls() pass.
    QString AutoListURL;
    QString ManualListURL;
    QString SelectedEngine;
    bool StatusLogOn = false;
    int TimeoutSeconds = 15;

    // Run state, shared by the submission run, the URL search and the HTTP event handlers.
    bool SkipURLFlag = false;
    bool SkipEngineFlag = false;
    bool StopFlag = false;
    bool TimedOutFlag = false;
    int TimeoutCount = 0;
    float SingleProgress = 0;
    int FullProgress = 0;
    int ResponseFileCounter = 0;
    QString CurrentEngine;
    QString CurrentURL;
    QString ResponseFileName;
    QString ResponseFilePath;
    QString LastHeaderField;
    QString LastHeaderValue;

    // The section of the automatic list that the engine pass works on (the
    // working page shows it in HiddenNameMemo and HiddenValueMemo).
    EngineSection CurrentSection;

    // The answer buffer: the body chunks (and, in debug mode, the headers) of the
    // current answers, one line each. The working page mirrors it in debug mode.
    QStringList AnswerBuffer;
    QTimer *SubmitTimer = nullptr;

    // The automatic engines: entry i belongs to item i of the sorted check list.
    std::array<EngineTableEntry, MaxEngines> EngineTable;
    int EngineCount = 0;

    // The pages and their controls.
    InfoPage Info;
    SettingsPage Settings;
    SubmitPage Submit;
    ManualPage Manual;
    HiddenPage Hidden;

    Platform &platform() const { return m_platform; }
    UrlTable &urlTable() const { return *m_urlTable; }
    THTTPClient &HTTPClient() const { return *m_http; }
    TURLCodec &URLCodec() const { return *m_codec; }
    QTabWidget *pageControl() const { return m_pageControl; }
    bool DebugMode() const { return Startup.DebugMode; }
    bool TestMode() const { return Startup.TestMode; }

    void RefreshControls();
    void MarkModified();
    void AddStatusLine(const QString &text, int kind);
    void AddAnswerLine(const QString &line);
    void ClearAnswerBuffer();
    QString AnswerText() const; // the buffer's lines joined by CR LF
    void AdvanceSingleProgress();
    void AdvanceFullProgress();
    void SetBusyCursor(int on);

    // Projects.
    void NewProjectClick();
    void OpenProjectClick();
    void SaveProjectClick();
    void CloseProjectClick();
    void DeleteProjectClick();
    void ExitClick();
    void LoadProjectSettings();
    void SaveProjectSettings();
    void ShowProject();
    static bool RemoveProjectDirectory(const QString &path);
    void PickSenderEmail();
    static bool EnsureDirectory(const QString &path);

    // The URL table.
    void AddURL();
    void ImportfromfileClick();
    bool ReplaceURLsFromFile();
    void EnableAllURLsBitBtnClick();
    void URLTableAfterPost();
    void URLTableAfterDelete();

    // Engines. The engine pass: mode 1 submits, 2 loads the automatic list into
    // the check list and the engine table, 3 searches.
    void ProcessEngines(int mode);
    void ReadEngineSection(const QString &name);
    void ClearEngineSection();
    void LoadManualEngineList();
    void DownloadEngineLists();
    void SettingsEnableAllSearchEnginesBitBtnClick();
    void SettingsDisableAllSearchEnginesBitBtnClick();
    void SettingsEngineAdvancedBitBtnClick();
    void ManualEnginesListBoxClick();
    void ManualRefreshBitBtnClick();

    // --- runs (begin): the submission run, the URL search and their timer.
    // Both runs return when they are over; a click while a run is in progress
    // (from inside its wait) is ignored.
    void SubmitBitBtnClick();
    void SearchURLsBitBtnClick();
    void ViewReportBitBtnClick();
    // Set SkipURLFlag, SkipEngineFlag or StopFlag and nothing else; the run acts
    // at its next timer tick or check.
    void SkipURLBitBtnClick();
    void SkipEngineBitBtnClick();
    void StopBitBtnClick();
    // One tick of SubmitTimer: interrupts the pending request for a set flag or
    // when TimeoutCount has reached TimeoutSeconds (then also TimedOutFlag).
    void SubmitTimerTimer();
    // Every URL row of the project to one engine of the check list (none when
    // the engine is not checked). Throws UrlTableError when the URL table fails
    // outside a request; the engine pass ignores it and goes on.
    void SubmitToEngine(const QString &engine, const QString &column);
    // Searches one checked engine for every URL row and writes its "None_" log.
    void SearchEngine(const QString &engine);
    bool RunInProgress() const { return m_runInProgress; }
    // --- runs (end)

    // Activation and the unattended sequence.
    void FormActivate();
    void StartupActions();
    void SaveWindowPosition();
    void About1Click();

    // Window commands that open the publisher's pages.
    void HelpIndexClick();
    void IncludeEngineClick();
    void LogoImageClick();

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

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createToolBarAndPages(QWidget *central);
    void createStatusBar();
    void connectControls();
    void connectEngineControls();
    void connectRunControls();
    void connectHttpEvents();
    void RestoreWindowPosition();
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
    void LoadEngineCheckList();
    // --- runs private (begin)
    struct RunReport; // the report file this run opened, with its header values
    void SubmitEngines();
    void SearchEngines();
    // The engine pass both runs share: every engine of the check list in order,
    // its section read, until a stop; an error of one engine never ends the pass.
    void forEachEngine(const std::function<void(int index)> &visit);
    // A user's close ends a run in progress (StopFlag) and then the program.
    void closeEvent(QCloseEvent *event) override;
    // The steps both runs start with; false when the sender fields are missing.
    bool startRun(const QString &answerPrefix);
    void finishRun(const QString &doneLine);
    void endRun();
    bool openRunReport();
    void closeRunReport();
    // Writes to the report only when this run opened one.
    void writeRunReport(int kind, const QString &text);
    void interruptRequest();
    // The test endpoint ("Test"/"Server" of the application ini + path) for TestMode.
    QByteArray testEndpoint(bool post) const;
    PlaceholderValues runValues() const;
    QString encodeForRun(const QString &text);
    void debugLine(const QString &text, int kind);
    // Sends the prepared request as a POST or a GET (the address gets "?" and
    // URLPostData); LastHeaderField/Value and the answer buffer are emptied first.
    // Throws ENetCore when the exchange fails.
    void sendRequest(bool post, QString &URLPostData);
    // True when the project the run started with is no longer open.
    bool runProjectGone();
    RunReport *m_report = nullptr;
    bool m_runInProgress = false;
    bool m_closedDuringRun = false;
    int m_runProjectId = 0;
    QString m_testServer;
    QString m_answerLocation; // the Location header of the current answer, "" when it had none
    class PaintThrottle *m_paintThrottle = nullptr; // engaged while a run is in progress
    // --- runs private (end)
    // Downloads url into path through a file beside it; path is replaced only
    // when the exchange succeeded. Failures are not reported.
    bool DownloadFile(const QString &url, const QString &path);

    Platform &m_platform;
    std::unique_ptr<UrlTable> m_urlTable;
    UrlTableModel *m_urlModel = nullptr;
    std::unique_ptr<THTTPClient> m_http;
    std::unique_ptr<TURLCodec> m_codec;
    QTabWidget *m_pageControl = nullptr;
    QSize m_fixedSize;
    QString m_lastProjectName;
    bool m_startupDone = false;    // the start-up actions run at the first activation only
    bool m_inStartupActions = false;
    bool m_closeCancelled = false; // the close-cancelled signal of the Close command
};
