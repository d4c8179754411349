#include "app/mainform.h"

#include "app/aboutbox.h"
#include "app/constants.h"
#include "app/hints.h"
#include "app/panel.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "engines/ui/enginechecklist.h"
#include "net/httpclient.h"
#include "project/profilefile.h"
#include "project/settingskeys.h"
#include "project/ui/urlnavigator.h"
#include "project/urltable.h"
#include "project/urltablemodel.h"
#include "runs/ui/timeoutmeter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Quillcast;

namespace {

QToolButton *speedButton(QWidget *parent, const QString &name, const QString &text, const QString &hint,
                         QStyle::StandardPixmap picture)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setIcon(parent->style()->standardIcon(picture));
    button->setFixedSize(25, 25);
    button->setAutoRaise(true);
    SetHint(button, hint, true);
    return button;
}

QFrame *bevel(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setFixedHeight(2);
    return line;
}

} // namespace

TMainForm::TMainForm(Platform &platform, const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("MainForm"));
    // Everything the program reads and writes lives in the current directory at start-up.
    BaseDir = QDir::currentPath();

    // The URL table opens with the window; a table that cannot be opened ends the
    // program (the caller shows the error).
    m_urlTable = std::make_unique<UrlTable>(BaseDir);
    m_urlModel = new UrlTableModel(*m_urlTable, this);

    // The HTTP component comes first: the pages show the user agent.
    m_http = std::make_unique<THTTPClient>();
    m_http->setSocketLayerLoaded(true);

    auto *central = new QWidget(this);
    setCentralWidget(central);
    createMenus();
    createToolBarAndPages(central);
    createStatusBar();

    // The user-agent memo holds one line, the program's title.
    Hidden.UserAgentMemo->setPlainText(AppTitle);
    // Titles, icons and the logo.
    QApplication::setApplicationName(AppTitle);
    QApplication::setWindowIcon(LoadIcon(BaseDir, IconFile));
    setWindowIcon(LoadIcon(BaseDir, IconFile));
    Info.LogoImage->setPixmap(LoadPicture(BaseDir, LogoFile));
    setWindowTitle(AppTitle);
    // The HTTP user agent.
    m_http->setUserAgent(AppTitle.toUtf8());
    // The project save dialog proposes "Quillcast Project" the first time.
    m_lastProjectName = AppTitle + QStringLiteral(" Project");
    // No project, nothing modified, the engine settings page in front.
    ProjectId = 0;
    Modified = false;
    ExciteLanguage = ExciteLocation = ExciteCategory = NothingSelected;
    Settings.SettingsURLAddEdit->clear();
    m_pageControl->setCurrentWidget(Settings.SettingsTabSheet);

    // The command line.
    Startup = ParseCommandLine(arguments);
    if (Startup.DebugMode)
        m_platform.messageBox(this, Startup.ParameterText, QStringLiteral("All Parameters"), Platform::Ok);

    // The hint handler is event(). Paths.
    ListsDir = BaseDir + QStringLiteral("/lists");
    EnsureDirectory(ListsDir);
    AppIniPath = BaseDir + QLatin1Char('/') + AppTitle + QStringLiteral(".ini");
    AutoListPath = BaseDir + QLatin1Char('/') + AutoListFileName;
    ManualListPath = BaseDir + QLatin1Char('/') + ManualListFileName;

    // Size from the application ini, centred when first shown.
    RestoreWindowPosition();
    // The working page only in debug mode.
    m_pageControl->setTabVisible(m_pageControl->indexOf(Hidden.HiddenTabSheet), Startup.DebugMode);

    AboutBox = new TAboutBox(m_platform, BaseDir, this);
    connectControls();
    setWindowTitle(AppTitle);
    RefreshControls();
}

TMainForm::~TMainForm() = default;

void TMainForm::createMenus()
{
    const auto action = [this](QMenu *menu, const QString &name, const QString &text, const QString &hint) {
        auto *item = menu->addAction(text);
        item->setObjectName(name);
        SetHint(item, hint);
        return item;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    NewProjectAction = action(file, QStringLiteral("NewProject1"), QStringLiteral("&New Project"),
                              QStringLiteral("New project|Create a new project"));
    OpenProjectAction = action(file, QStringLiteral("OpenProject1"), QStringLiteral("&Open Project..."),
                               QStringLiteral("Open project|Open an existing project"));
    SaveProjectAction = action(file, QStringLiteral("SaveProject1"), QStringLiteral("&Save Project"),
                               QStringLiteral("Save project|Save the current project"));
    DeleteProjectAction = action(file, QStringLiteral("DeleteProject1"), QStringLiteral("&Delete Project"),
                                 QStringLiteral("Delete project|Delete a saved project"));
    CloseProjectAction = action(file, QStringLiteral("CloseProject1"), QStringLiteral("&Close Project"),
                                QStringLiteral("Close project|Close the current project"));
    file->addSeparator();
    ExitAction = action(file, QStringLiteral("Exit1"), QStringLiteral("E&xit"), QStringLiteral("Exit|Exit this program"));

    DataMenu = menuBar()->addMenu(QStringLiteral("&Data"));
    DataMenu->setObjectName(QStringLiteral("Data1"));
    SetHint(DataMenu->menuAction(), QStringLiteral("Data|Data manipulation"));
    ImportfromfileAction = action(DataMenu, QStringLiteral("Importfromfile"), QStringLiteral("&Import from file"),
                                  QStringLiteral("Import from file|Import URL's from a text file (1 URL per line)"));
    // Kept for the menu's shape: checked, invisible, and without a command.
    URLDropWindowAction = action(DataMenu, QStringLiteral("URLdropwindow1"), QStringLiteral("&URL drop window"), {});
    URLDropWindowAction->setCheckable(true);
    URLDropWindowAction->setChecked(true);
    URLDropWindowAction->setVisible(false);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    HelpIndexAction = action(help, QStringLiteral("HelpIndex1"), QStringLiteral("Help &Index"),
                             QStringLiteral("Help index|Go to the online help system"));
    help->addSeparator();
    IncludeEngineAction =
        action(help, QStringLiteral("HowToIncludeYourSearchEngine1"), QStringLiteral("How to include your search engine"),
               QStringLiteral("Include your search engine|Suggest a search engine to include in the lists"));
    help->addSeparator();
    AboutAction = action(help, QStringLiteral("About1"), QStringLiteral("&About"), QStringLiteral("About |Version information"));
}

void TMainForm::createToolBarAndPages(QWidget *central)
{
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bevel(central));

    auto *speedBar = new QWidget(central);
    speedBar->setObjectName(QStringLiteral("SpeedBarPanel"));
    speedBar->setFixedHeight(31);
    auto *buttons = new QHBoxLayout(speedBar);
    buttons->setContentsMargins(4, 3, 4, 3);
    buttons->setSpacing(2);
    NewProjectSpeedButton = speedButton(speedBar, QStringLiteral("NewProjectSpeedButton"), QStringLiteral("New"),
                                        QStringLiteral("New project|Create a new project"), QStyle::SP_FileIcon);
    OpenProjectSpeedButton =
        speedButton(speedBar, QStringLiteral("OpenProjectSpeedButton"), QStringLiteral("Open"),
                    QStringLiteral("Open project|Open an existing project"), QStyle::SP_DialogOpenButton);
    CloseProjectSpeedButton =
        speedButton(speedBar, QStringLiteral("CloseProjectSpeedButton"), QStringLiteral("Close"),
                    QStringLiteral("Close Project|Close the current project"), QStyle::SP_DialogCloseButton);
    SaveProjectSpeedButton =
        speedButton(speedBar, QStringLiteral("SaveProjectSpeedButton"), QStringLiteral("Save"),
                    QStringLiteral("Save project|Save the current project"), QStyle::SP_DialogSaveButton);
    DeleteProjectSpeedButton = speedButton(speedBar, QStringLiteral("DeleteProjectSpeedButton"),
                                           QStringLiteral("Delete"), QStringLiteral("Delete project|Delete a project"),
                                           QStyle::SP_TrashIcon);
    ExitSpeedButton = speedButton(speedBar, QStringLiteral("ExitSpeedButton"), QStringLiteral("Exit"),
                                  QStringLiteral("Exit Quillcast|Exit the Quillcast program"),
                                  QStyle::SP_DialogCancelButton);
    for (QToolButton *button :
         {NewProjectSpeedButton, OpenProjectSpeedButton, CloseProjectSpeedButton, SaveProjectSpeedButton})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(DeleteProjectSpeedButton);
    buttons->addWidget(ExitSpeedButton);
    layout->addWidget(speedBar);
    layout->addWidget(bevel(central));

    m_pageControl = new QTabWidget(central);
    m_pageControl->setObjectName(QStringLiteral("PageControl"));
    const auto page = [this](const QString &title) {
        auto *sheet = new QWidget;
        m_pageControl->addTab(sheet, title);
        return sheet;
    };
    Info.build(page(QStringLiteral("Sender Info")));
    auto *grid = new QTableView;
    grid->setModel(m_urlModel);
    Settings.build(page(QStringLiteral("Settings for search engines")), new URLDBNavigator(m_platform, grid, m_urlModel),
                   grid);
    grid->setColumnWidth(UrlTableModel::UrlColumn, 330);
    grid->setColumnWidth(UrlTableModel::FlagColumn, 44);
    Submit.build(page(QStringLiteral("Submit URL's")));
    Manual.build(page(QStringLiteral("Manual Submit")));
    Hidden.build(page(QStringLiteral("Hidden")));
    layout->addWidget(m_pageControl, 1);
    // Takes the room while no project is open and the pages are hidden.
    layout->addStretch(0);
    Info.LogoImage->installEventFilter(this);
}

void TMainForm::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    SetHint(bar, QStringLiteral("ID|Project ID is showing on the left"));
    StatusBarIdPanel = new QLabel(QStringLiteral("0"), bar);
    StatusBarIdPanel->setObjectName(QStringLiteral("StatusBarIdPanel"));
    StatusBarIdPanel->setFixedWidth(50);
    StatusBarIdPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBarHintPanel = new QLabel(bar);
    StatusBarHintPanel->setObjectName(QStringLiteral("StatusBarHintPanel"));
    StatusBarHintPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(StatusBarIdPanel);
    bar->addPermanentWidget(StatusBarHintPanel, 1);
}

void TMainForm::connectControls()
{
    connect(NewProjectAction, &QAction::triggered, this, &TMainForm::NewProjectClick);
    connect(NewProjectSpeedButton, &QToolButton::clicked, this, &TMainForm::NewProjectClick);
    connect(OpenProjectAction, &QAction::triggered, this, &TMainForm::OpenProjectClick);
    connect(OpenProjectSpeedButton, &QToolButton::clicked, this, &TMainForm::OpenProjectClick);
    connect(SaveProjectAction, &QAction::triggered, this, &TMainForm::SaveProjectClick);
    connect(SaveProjectSpeedButton, &QToolButton::clicked, this, &TMainForm::SaveProjectClick);
    connect(CloseProjectAction, &QAction::triggered, this, &TMainForm::CloseProjectClick);
    connect(CloseProjectSpeedButton, &QToolButton::clicked, this, &TMainForm::CloseProjectClick);
    connect(DeleteProjectAction, &QAction::triggered, this, &TMainForm::DeleteProjectClick);
    connect(DeleteProjectSpeedButton, &QToolButton::clicked, this, &TMainForm::DeleteProjectClick);
    connect(ExitAction, &QAction::triggered, this, &TMainForm::ExitClick);
    connect(ExitSpeedButton, &QToolButton::clicked, this, &TMainForm::ExitClick);
    connect(ImportfromfileAction, &QAction::triggered, this, &TMainForm::ImportfromfileClick);
    connect(HelpIndexAction, &QAction::triggered, this, &TMainForm::HelpIndexClick);
    connect(IncludeEngineAction, &QAction::triggered, this, &TMainForm::IncludeEngineClick);
    connect(AboutAction, &QAction::triggered, this, &TMainForm::About1Click);

    // Every edit of a project setting marks the project modified; changes the
    // program makes count as well.
    for (QLineEdit *edit : {Info.InfoFirstNameEdit, Info.InfoMIEdit, Info.InfoLastNameEdit,
                            Settings.SettingsEngineAutoEdit, Settings.SettingsEngineManualEdit,
                            Settings.SettingsURLAddEdit})
        connect(edit, &QLineEdit::textChanged, this, &TMainForm::MarkModified);
    connect(Info.InfoEmailMemo, &QPlainTextEdit::textChanged, this, &TMainForm::MarkModified);
    connect(Settings.SettingsEngineListButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            MarkModified();
    });
    connect(Submit.SubmitDLEnginesCheckBox, &QCheckBox::toggled, this, &TMainForm::MarkModified);
    connect(Submit.StatusLogCheckBox, &QCheckBox::toggled, this, &TMainForm::MarkModified);
    connect(Submit.SubmitTimeoutEdit, &QLineEdit::textChanged, this, &TMainForm::SubmitTimeoutEditChange);
    connect(Submit.TimeoutSlideBar, &QSlider::valueChanged, this, &TMainForm::TimeoutSlideBarChange);

    connect(Settings.SettingsURLAddBitBtn, &QPushButton::clicked, this, &TMainForm::AddURL);
    connect(Settings.SettingsURLAddEdit, &QLineEdit::returnPressed, this, [this] {
        if (!Settings.SettingsURLAddEdit->text().isEmpty())
            AddURL();
    });
    connect(Settings.EnableAllURLsBitBtn, &QPushButton::clicked, this, &TMainForm::EnableAllURLsBitBtnClick);
    connect(m_urlModel, &UrlTableModel::afterPost, this, &TMainForm::URLTableAfterPost);
    connect(m_urlModel, &UrlTableModel::afterDelete, this, &TMainForm::URLTableAfterDelete);
    connect(m_urlModel, &UrlTableModel::failed, this, [this](const QString &message) {
        m_platform.showError(this, message);
    });

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
    const QSize size(qBound(200, width, 8192), qBound(150, height, 8192));
    m_fixedSize = size;
    setFixedSize(size);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

void TMainForm::SaveWindowPosition()
{
    ProfileFile ini(AppIniPath);
    using namespace SettingsKeys;
    ini.writeInteger(WindowTop.section, WindowTop.key, y());
    ini.writeInteger(WindowLeft.section, WindowLeft.key, x());
    ini.writeInteger(WindowHeight.section, WindowHeight.key, height());
    ini.writeInteger(WindowWidth.section, WindowWidth.key, width());
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
        m_pageControl->hide();
        for (QToolButton *button : {NewProjectSpeedButton, OpenProjectSpeedButton})
            button->setEnabled(true);
        for (QAction *action : {NewProjectAction, OpenProjectAction})
            action->setEnabled(true);
        CloseProjectSpeedButton->setEnabled(false);
        CloseProjectAction->setEnabled(false);
        DeleteProjectSpeedButton->setEnabled(true);
        DeleteProjectAction->setEnabled(true);
        DataMenu->setEnabled(false);
        DataMenu->menuAction()->setEnabled(false);
        SaveProjectSpeedButton->setEnabled(false);
        SaveProjectAction->setEnabled(false);
        return;
    }
    // While a run is in progress the project cannot change under it.
    const bool idle = !RunInProgress();
    m_pageControl->show();
    for (QToolButton *button : {NewProjectSpeedButton, OpenProjectSpeedButton, CloseProjectSpeedButton})
        button->setEnabled(idle);
    for (QAction *action : {NewProjectAction, OpenProjectAction, CloseProjectAction})
        action->setEnabled(idle);
    DeleteProjectSpeedButton->setEnabled(false);
    DeleteProjectAction->setEnabled(false);
    DataMenu->setEnabled(idle);
    DataMenu->menuAction()->setEnabled(idle);
    Settings.DownloadEnginesNowBitBtn->setEnabled(idle);
    Manual.ManualRefreshBitBtn->setEnabled(idle);
    Settings.SettingsURLAddBitBtn->setEnabled(!Settings.SettingsURLAddEdit->text().isEmpty());
    StatusLogOn = Submit.StatusLogCheckBox->isChecked();
    Submit.ViewReportBitBtn->setEnabled(StatusLogOn);
    // Where the engine lists come from: "Load" (or nothing chosen) takes the boxes.
    const bool load = Settings.SettingsEngineListButtons->checkedId() != 0;
    for (QWidget *control : {static_cast<QWidget *>(Settings.SettingsEngineAutoLabel),
                             static_cast<QWidget *>(Settings.SettingsEngineManualLabel),
                             static_cast<QWidget *>(Settings.SettingsEngineAutoEdit),
                             static_cast<QWidget *>(Settings.SettingsEngineManualEdit)})
        control->setEnabled(load);
    if (load) {
        AutoListURL = Settings.SettingsEngineAutoEdit->text();
        ManualListURL = Settings.SettingsEngineManualEdit->text();
    } else {
        AutoListURL = DefaultAutoListURL;
        ManualListURL = DefaultManualListURL;
    }
    Settings.SettingsEngineAutoEdit->setText(AutoListURL);
    Settings.SettingsEngineManualEdit->setText(ManualListURL);
    // The selected engine, its Advanced Settings button and its grid column.
    EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    const int selected = engines->selectedIndex();
    if (selected < 0) {
        Settings.SettingsEngineAdvancedBitBtn->setEnabled(false);
    } else {
        const QString selectedEngine = engines->text(selected);
        Settings.SettingsEngineAdvancedBitBtn->setEnabled(selectedEngine == ExciteEngine);
        if (m_engines.indexOf(selectedEngine) >= 0)
            m_urlModel->setFlagColumn(m_engines.columnOf(selectedEngine));
    }
    SaveProjectSpeedButton->setEnabled(Modified);
    SaveProjectAction->setEnabled(Modified);
    // Excite takes part only with all three advanced settings given.
    const bool exciteComplete = ExciteLanguage != NothingSelected && ExciteLocation != NothingSelected &&
                                ExciteCategory != NothingSelected;
    for (int i = 0; i < engines->count(); ++i) {
        if (engines->text(i) != ExciteEngine)
            continue;
        engines->setItemEnabled(i, true);
        if (!exciteComplete) {
            engines->setItemEnabled(i, false);
            engines->setChecked(i, false);
        }
    }
    Manual.ManualHomeURLBitBtn->setEnabled(!Manual.ManualHomeURLEdit->text().isEmpty());
    Manual.ManualAddURLBitBtn->setEnabled(!Manual.ManualAddURLEdit->text().isEmpty());
    // The timeout; a box that does not start with a positive number changes nothing.
    const int timeout = leadingInteger(Submit.SubmitTimeoutEdit->text());
    if (timeout > 0) {
        Submit.SubmitTimeoutMeter->setMaximum(timeout);
        Submit.SubmitTimeoutMeter->setAlertMark(timeout - timeout / 4);
        setSliderPosition(timeout);
    }
    // A state pass runs inside event handlers: a failing count shows nothing
    // rather than throw through the event loop.
    try {
        Settings.URLCountEdit->setText(QString::number(m_urlTable->rowCount()));
    } catch (const std::exception &) {
        Settings.URLCountEdit->clear();
    }
}

void TMainForm::setSliderPosition(int value)
{
    // The slider takes only its own range and otherwise keeps its position.
    if (value >= Submit.TimeoutSlideBar->minimum() && value <= Submit.TimeoutSlideBar->maximum())
        Submit.TimeoutSlideBar->setValue(value);
}

void TMainForm::SubmitTimeoutEditChange()
{
    const int value = leadingInteger(Submit.SubmitTimeoutEdit->text());
    QSlider *slider = Submit.TimeoutSlideBar;
    if (value != slider->value()) {
        setSliderPosition(value);
        // Taken or not, the slider's own value goes back into the box.
        const QString own = QString::number(slider->value());
        if (Submit.SubmitTimeoutEdit->text() != own)
            Submit.SubmitTimeoutEdit->setText(own);
    }
    MarkModified();
}

void TMainForm::TimeoutSlideBarChange(int value)
{
    const QString text = QString::number(value);
    if (Submit.SubmitTimeoutEdit->text() != text)
        Submit.SubmitTimeoutEdit->setText(text);
    MarkModified();
}

void TMainForm::SetBusyCursor(int on)
{
    if (on != 0 && on != 1)
        return;
    for (QWidget *widget : {static_cast<QWidget *>(this), static_cast<QWidget *>(Settings.DownloadEnginesNowBitBtn),
                            static_cast<QWidget *>(Settings.SettingsURLPanel),
                            static_cast<QWidget *>(Manual.ManualRefreshBitBtn),
                            static_cast<QWidget *>(Manual.ManualRightPanel)}) {
        if (on)
            widget->setCursor(Qt::WaitCursor);
        else
            widget->unsetCursor();
    }
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
    m_platform.execDialog(*AboutBox);
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
        FormActivate();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

void TMainForm::changeEvent(QEvent *event)
{
    // A single border that cannot be dragged, but the window can still be maximised.
    if (event->type() == QEvent::WindowStateChange) {
        if (isMaximized()) {
            setMinimumSize(0, 0);
            setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        } else if (!isMinimized() && m_fixedSize.isValid()) {
            setFixedSize(m_fixedSize);
        }
    }
    QMainWindow::changeEvent(event);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Info.LogoImage && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        LogoImageClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
