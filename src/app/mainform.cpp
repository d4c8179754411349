#include "app/mainform.h"

#include "app/aboutbox.h"
#include "app/constants.h"
#include "app/hiddenpage.h"
#include "app/hints.h"
#include "app/infopage.h"
#include "app/manualpage.h"
#include "app/named.h"
#include "app/pictures.h"
#include "app/settingspage.h"
#include "app/submitpage.h"
#include "platform/platform.h"
#include "project/baselock.h"
#include "project/profilefile.h"
#include "project/settingskeys.h"
#include "project/urltable.h"
#include "project/urltablemodel.h"
#include "runs/runservices.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

using namespace Quillcast;

TMainForm::TMainForm(Platform &platform, const StartupFlags &startup, QWidget *parent)
    : QMainWindow(parent), Startup(startup), m_platform(platform)
{
    setObjectName(QStringLiteral("MainForm"));
    // Everything the program reads and writes lives in the current directory at start-up.
    BaseDir = QDir::currentPath();
    m_baseLock = std::make_unique<BaseLock>(BaseDir);

    // The URL table opens with the window; a table that cannot be opened ends the
    // program (the caller shows the error).
    m_urlTable = std::make_unique<UrlTable>(BaseDir);
    m_urlModel = new UrlTableModel(*m_urlTable, this);

    // The network side comes first; it sends the program's title as the user agent.
    m_network = std::make_unique<RunServices>(AppTitle.toUtf8());

    createCommands();
    createPages();
    createStatusBar();

    // The user-agent memo holds one line, the program's title.
    m_hiddenPage->setUserAgent(AppTitle);
    // Titles, icons and the logo.
    QApplication::setApplicationName(AppTitle);
    QApplication::setApplicationVersion(Version);
    QApplication::setWindowIcon(LoadIcon(BaseDir, IconFile));
    setWindowIcon(LoadIcon(BaseDir, IconFile));
    m_infoPage->setLogo(LoadPicture(BaseDir, LogoFile));
    setWindowTitle(AppTitle);
    // The project save dialog proposes "Quillcast Project" the first time.
    m_lastProjectName = AppTitle + QStringLiteral(" Project");
    // No project, nothing modified, the engine settings page in front.
    ProjectId = 0;
    Modified = false;
    ExciteLanguage = ExciteLocation = ExciteCategory = NothingSelected;
    m_pageControl->setCurrentWidget(m_settingsPage);

    // The command line, as main() parsed it.
    if (Startup.DebugMode)
        m_platform.messageBox(this, Startup.ParameterText, QStringLiteral("All Parameters"), Platform::Ok);

    // The hint handler is event(). Paths.
    ListsDir = BaseDir + QStringLiteral("/lists");
    EnsureDirectory(ListsDir);
    AppIniPath = BaseDir + QLatin1Char('/') + AppTitle + QStringLiteral(".ini");
    AutoListPath = BaseDir + QLatin1Char('/') + AutoListFileName;
    ManualListPath = BaseDir + QLatin1Char('/') + ManualListFileName;

    // The working page only in debug mode.
    m_pageControl->setTabVisible(m_pageControl->indexOf(m_hiddenPage), Startup.DebugMode);
    // Size from the application ini, centred when first shown.
    RestoreWindowPosition();

    AboutBox = new TAboutBox(m_platform, BaseDir, this);
    connectControls();
    setWindowTitle(AppTitle);
    RefreshControls();
}

TMainForm::~TMainForm() = default;

QAction *TMainForm::addCommand(QMenu *menu, const QString &name, const QString &text, const QString &hint)
{
    QAction *command = menu->addAction(text);
    command->setObjectName(name);
    SetHint(command, hint);
    return command;
}

void TMainForm::showOnToolBar(QToolBar *bar, QAction *command, const QString &buttonName, const QString &buttonText,
                              const QString &hint, QStyle::StandardPixmap picture)
{
    command->setIcon(style()->standardIcon(picture));
    command->setIconVisibleInMenu(false);
    command->setIconText(buttonText);
    bar->addAction(command);
    QWidget *button = bar->widgetForAction(command);
    button->setObjectName(buttonName);
    SetHint(button, hint, true);
    // The button takes the action's tips at every change of the action; its own
    // hint, which may differ from the menu item's, is put back.
    connect(command, &QAction::changed, button, [button] {
        const QString own = button->property("hint").toString();
        button->setStatusTip(LongHint(own));
        button->setToolTip(ShortHint(own));
    });
}

void TMainForm::createCommands()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    NewProjectAction = addCommand(file, QStringLiteral("NewProject1"), QStringLiteral("&New Project"),
                                  QStringLiteral("New project|Create a new project"));
    OpenProjectAction = addCommand(file, QStringLiteral("OpenProject1"), QStringLiteral("&Open Project..."),
                                   QStringLiteral("Open project|Open an existing project"));
    SaveProjectAction = addCommand(file, QStringLiteral("SaveProject1"), QStringLiteral("&Save Project"),
                                   QStringLiteral("Save project|Save the current project"));
    DeleteProjectAction = addCommand(file, QStringLiteral("DeleteProject1"), QStringLiteral("&Delete Project"),
                                     QStringLiteral("Delete project|Delete a saved project"));
    CloseProjectAction = addCommand(file, QStringLiteral("CloseProject1"), QStringLiteral("&Close Project"),
                                    QStringLiteral("Close project|Close the current project"));
    file->addSeparator();
    ExitAction =
        addCommand(file, QStringLiteral("Exit1"), QStringLiteral("E&xit"), QStringLiteral("Exit|Exit this program"));

    DataMenu = menuBar()->addMenu(QStringLiteral("&Data"));
    DataMenu->setObjectName(QStringLiteral("Data1"));
    SetHint(DataMenu->menuAction(), QStringLiteral("Data|Data manipulation"));
    ImportfromfileAction =
        addCommand(DataMenu, QStringLiteral("Importfromfile"), QStringLiteral("&Import from file"),
                   QStringLiteral("Import from file|Import URL's from a text file (1 URL per line)"));
    ImportSitemapAction =
        addCommand(DataMenu, QStringLiteral("ImportSitemap"), QStringLiteral("Import &sitemap..."),
                   QStringLiteral("Import sitemap|Make the project's URLs those of a sitemap (changed pages are "
                                  "submitted again)"));
    ImportSitemapAddressAction =
        addCommand(DataMenu, QStringLiteral("ImportSitemapAddress"), QStringLiteral("Import sitemap from &address..."),
                   QStringLiteral("Import sitemap from address|Make the project's URLs those of a sitemap on the web "
                                  "(an http:// or https:// address)"));
    // Kept for the menu's shape: checked, invisible, and without a command.
    URLDropWindowAction =
        addCommand(DataMenu, QStringLiteral("URLdropwindow1"), QStringLiteral("&URL drop window"), {});
    URLDropWindowAction->setCheckable(true);
    URLDropWindowAction->setChecked(true);
    URLDropWindowAction->setVisible(false);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    HelpIndexAction = addCommand(help, QStringLiteral("HelpIndex1"), QStringLiteral("Help &Index"),
                                 QStringLiteral("Help index|Go to the online help system"));
    help->addSeparator();
    IncludeEngineAction = addCommand(
        help, QStringLiteral("HowToIncludeYourSearchEngine1"), QStringLiteral("How to include your search engine"),
        QStringLiteral("Include your search engine|Suggest a search engine to include in the lists"));
    help->addSeparator();
    AboutAction = addCommand(help, QStringLiteral("About1"), QStringLiteral("&About"),
                             QStringLiteral("About |Version information"));

    QToolBar *bar = addToolBar(QStringLiteral("Project"));
    bar->setObjectName(QStringLiteral("SpeedBarPanel"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    showOnToolBar(bar, NewProjectAction, QStringLiteral("NewProjectSpeedButton"), QStringLiteral("New"),
                  QStringLiteral("New project|Create a new project"), QStyle::SP_FileIcon);
    showOnToolBar(bar, OpenProjectAction, QStringLiteral("OpenProjectSpeedButton"), QStringLiteral("Open"),
                  QStringLiteral("Open project|Open an existing project"), QStyle::SP_DialogOpenButton);
    showOnToolBar(bar, CloseProjectAction, QStringLiteral("CloseProjectSpeedButton"), QStringLiteral("Close"),
                  QStringLiteral("Close Project|Close the current project"), QStyle::SP_DialogCloseButton);
    showOnToolBar(bar, SaveProjectAction, QStringLiteral("SaveProjectSpeedButton"), QStringLiteral("Save"),
                  QStringLiteral("Save project|Save the current project"), QStyle::SP_DialogSaveButton);
    auto *gap = new QWidget(bar);
    gap->setObjectName(QStringLiteral("SpeedBarGap"));
    gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(gap);
    showOnToolBar(bar, DeleteProjectAction, QStringLiteral("DeleteProjectSpeedButton"), QStringLiteral("Delete"),
                  QStringLiteral("Delete project|Delete a project"), QStyle::SP_TrashIcon);
    showOnToolBar(bar, ExitAction, QStringLiteral("ExitSpeedButton"), QStringLiteral("Exit"),
                  QStringLiteral("Exit Quillcast|Exit the Quillcast program"), QStyle::SP_DialogCancelButton);
}

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

void TMainForm::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    SetHint(bar, QStringLiteral("ID|Project ID is showing on the left"));
    StatusBarIdPanel = Named<QLabel>(QStringLiteral("StatusBarIdPanel"), QStringLiteral("0"));
    StatusBarIdPanel->setFixedWidth(50);
    StatusBarIdPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBarHintPanel = Named<QLabel>(QStringLiteral("StatusBarHintPanel"));
    StatusBarHintPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A long hint is cut rather than widen the window.
    StatusBarHintPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addPermanentWidget(StatusBarIdPanel);
    bar->addPermanentWidget(StatusBarHintPanel, 1);
}

void TMainForm::connectControls()
{
    connect(NewProjectAction, &QAction::triggered, this, &TMainForm::NewProjectClick);
    connect(OpenProjectAction, &QAction::triggered, this, &TMainForm::OpenProjectClick);
    connect(SaveProjectAction, &QAction::triggered, this, &TMainForm::SaveProjectClick);
    connect(CloseProjectAction, &QAction::triggered, this, &TMainForm::CloseProjectClick);
    connect(DeleteProjectAction, &QAction::triggered, this, &TMainForm::DeleteProjectClick);
    connect(ExitAction, &QAction::triggered, this, &TMainForm::ExitClick);
    connect(ImportfromfileAction, &QAction::triggered, this, &TMainForm::ImportfromfileClick);
    connect(ImportSitemapAction, &QAction::triggered, this, &TMainForm::ImportSitemapClick);
    connect(ImportSitemapAddressAction, &QAction::triggered, this, &TMainForm::ImportSitemapAddressClick);
    connect(HelpIndexAction, &QAction::triggered, this, &TMainForm::HelpIndexClick);
    connect(IncludeEngineAction, &QAction::triggered, this, &TMainForm::IncludeEngineClick);
    connect(AboutAction, &QAction::triggered, this, &TMainForm::About1Click);

    // Every edit of a project setting marks the project modified; changes the
    // program makes count as well.
    connect(m_infoPage, &InfoPage::edited, this, &TMainForm::MarkModified);
    connect(m_infoPage, &InfoPage::logoClicked, this, &TMainForm::LogoImageClick);
    connect(m_settingsPage, &SettingsPage::edited, this, &TMainForm::MarkModified);
    connect(m_submitPage, &SubmitPage::edited, this, &TMainForm::MarkModified);

    connect(m_settingsPage, &SettingsPage::addUrlClicked, this, &TMainForm::AddURL);
    connect(m_settingsPage, &SettingsPage::enableAllUrlsClicked, this, &TMainForm::EnableAllURLsBitBtnClick);
    connect(m_settingsPage, &SettingsPage::writeKeyFileClicked, this, &TMainForm::SettingsIndexNowKeyFileBitBtnClick);
    connect(m_urlModel, &UrlTableModel::afterPost, this, &TMainForm::URLTableAfterPost);
    connect(m_urlModel, &UrlTableModel::afterDelete, this, &TMainForm::URLTableAfterDelete);
    connect(m_urlModel, &UrlTableModel::failed, this,
            [this](const QString &message) { m_platform.showError(this, message); });

    connectEngineControls();
    connectRunControls();
}

void TMainForm::RestoreWindowPosition()
{
    const ProfileFile ini(AppIniPath);
    using namespace SettingsKeys;
    const int height = ini.readInteger(WindowHeight.section, WindowHeight.key, 413);
    const int width = ini.readInteger(WindowWidth.section, WindowWidth.key, 537);
    // Top and Left are stored but the window is centred on the screen.
    const QSize size = QSize(qMin(width, 8192), qMin(height, 8192)).expandedTo(minimumSizeHint());
    resize(size);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

void TMainForm::SaveWindowPosition()
{
    ProfileFile ini(AppIniPath);
    using namespace SettingsKeys;
    // A maximised window keeps the size it had before.
    const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    ini.writeInteger(WindowTop.section, WindowTop.key, normal.y());
    ini.writeInteger(WindowLeft.section, WindowLeft.key, normal.x());
    ini.writeInteger(WindowHeight.section, WindowHeight.key, normal.height());
    ini.writeInteger(WindowWidth.section, WindowWidth.key, normal.width());
}

void TMainForm::MarkModified()
{
    Modified = true;
    RefreshControls();
}

void TMainForm::RefreshControls()
{
    StatusBarIdPanel->setText(QString::number(ProjectId));
    // Without a project only New, Open, Delete, Exit and Help act.
    if (ProjectId == 0) {
        m_central->setCurrentWidget(m_noProjectLabel);
        for (QAction *command : {NewProjectAction, OpenProjectAction, DeleteProjectAction})
            command->setEnabled(true);
        for (QAction *command : {CloseProjectAction, SaveProjectAction})
            command->setEnabled(false);
        DataMenu->setEnabled(false);
        DataMenu->menuAction()->setEnabled(false);
        return;
    }
    // While a run is in progress the project cannot change under it.
    const bool idle = !RunInProgress();
    m_central->setCurrentWidget(m_pageControl);
    for (QAction *command : {NewProjectAction, OpenProjectAction, CloseProjectAction})
        command->setEnabled(idle);
    DeleteProjectAction->setEnabled(false);
    SaveProjectAction->setEnabled(Modified);
    DataMenu->setEnabled(idle);
    DataMenu->menuAction()->setEnabled(idle);
    m_manualPage->setIdle(idle);
    // Excite takes part only with all three advanced settings given.
    const bool exciteComplete =
        ExciteLanguage != NothingSelected && ExciteLocation != NothingSelected && ExciteCategory != NothingSelected;
    m_settingsPage->refresh(idle, exciteComplete);
    // The selected engine's grid column; kept while nothing is selected.
    const QString selectedEngine = m_settingsPage->selectedEngine();
    if (!selectedEngine.isEmpty() && m_engines.indexOf(selectedEngine) >= 0)
        m_urlModel->setFlagColumn(m_engines.columnOf(selectedEngine));
    // A state pass runs inside event handlers: a failing count shows nothing
    // rather than throw through the event loop.
    try {
        m_settingsPage->setUrlCount(QString::number(m_urlTable->rowCount()));
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

bool TMainForm::EnsureDirectory(const QString &path)
{
    if (QFileInfo::exists(path))
        return false;
    QDir().mkdir(path);
    return true;
}

void TMainForm::HelpIndexClick()
{
    m_platform.openInShell(HelpURL);
}

void TMainForm::IncludeEngineClick()
{
    m_platform.openInShell(IncludeEngineURL);
}

void TMainForm::LogoImageClick()
{
    m_platform.openInShell(HomePageURL);
}

void TMainForm::About1Click()
{
    execReloadingDialog(*AboutBox);
}

int TMainForm::execReloadingDialog(QDialog &dialog)
{
    const int result = m_platform.execDialog(dialog);
    // The focus may be back already, or come back with the next activation.
    if (isActiveWindow())
        FormActivate();
    else
        m_reloadOnActivate = true;
    return result;
}

void TMainForm::showFailure(const std::exception &failure)
{
    m_platform.showError(this, QString::fromUtf8(failure.what()));
}

bool TMainForm::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::StatusTip:
        // The hint handler: the long part of the hint under the pointer goes to
        // the second panel of the status bar.
        StatusBarHintPanel->setText(static_cast<QStatusTipEvent *>(event)->tip());
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
