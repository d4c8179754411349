// The main window at start-up and its state rules.

#include "app/aboutbox.h"
#include "runs/ui/timeoutmeter.h"
#include "support/gui/windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

using qctest::WindowTest;

namespace {

class StartUp : public WindowTest
{
};

TEST_F(StartUp, AFreshDirectoryGetsListsButNoIniFile)
{
    start();
    EXPECT_TRUE(QDir(base.file("lists")).exists());
    EXPECT_FALSE(QFile::exists(base.file("Quillcast.ini")));
    EXPECT_EQ(window().baseDir(), base.path());
    window().SaveWindowPosition();
    EXPECT_TRUE(QFile::exists(base.file("Quillcast.ini")));
}

TEST_F(StartUp, WindowIs537By413ResizableAndCentred)
{
    TMainForm &form = start();
    EXPECT_EQ(form.size(), QSize(537, 413));
    EXPECT_EQ(form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(form.geometry().center().x() / 2, screen.center().x() / 2);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillcast"));
}

TEST_F(StartUp, SizeComesFromTheIniButNotThePlaceAndIsSavedOnExit)
{
    qctest::writeFile(base.file("Quillcast.ini"), "[Positioning]\r\nTop=5\r\nLeft=7\r\nHeight=500\r\nWidth=640\r\n");
    TMainForm &form = start();
    EXPECT_EQ(form.size(), QSize(640, 500));
    EXPECT_NE(form.pos(), QPoint(7, 5));
    form.resize(700, 480);
    find<QAction>("Exit1")->trigger();
    EXPECT_EQ(start().size(), QSize(700, 480));

    // A saved size below the window's minimum opens at the minimum.
    qctest::writeFile(base.file("Quillcast.ini"), "[Positioning]\r\nHeight=10\r\nWidth=10\r\n");
    TMainForm &small = start();
    EXPECT_EQ(small.size(), small.minimumSizeHint());
}

TEST_F(StartUp, DebugModeShowsAllParametersAndTheHiddenPage)
{
    start({"/debug", "a", "B"});
    ASSERT_EQ(platform.ofKind("message").size(), 1);
    const auto box = platform.ofKind("message").first();
    EXPECT_EQ(box.caption, QStringLiteral("All Parameters"));
    EXPECT_EQ(box.text, QStringLiteral("/usr/bin/quillcast\n/debug\na\nb\n"));
    auto *pages = find<QTabWidget>("PageControl");
    EXPECT_TRUE(pages->isTabVisible(pages->indexOf(find<QWidget>("HiddenTabSheet"))));
}

TEST_F(StartUp, WithoutDebugModeNoBoxAndNoHiddenPage)
{
    TMainForm &form = start({"/LOAD", "x.qlc"});
    EXPECT_TRUE(platform.shown.isEmpty());
    auto *pages = find<QTabWidget>("PageControl");
    EXPECT_FALSE(pages->isTabVisible(pages->indexOf(find<QWidget>("HiddenTabSheet"))));
    EXPECT_FALSE(form.startup().LoadFlag);
}

TEST_F(StartUp, WithNoProjectOnlyNewOpenDeleteExitAndHelpActAndTheWindowSaysWhatToDo)
{
    TMainForm &form = start();
    EXPECT_FALSE(find<QTabWidget>("PageControl")->isVisibleTo(&form));
    EXPECT_TRUE(find<QLabel>("NoProjectLabel")->isVisibleTo(&form));
    EXPECT_TRUE(find<QLabel>("NoProjectLabel")->text().contains(QStringLiteral("File \u25B8 Open Project")));
    EXPECT_TRUE(platform.shown.isEmpty()) << "told without a box";
    EXPECT_EQ(find<QLabel>("StatusBarIdPanel")->text(), QStringLiteral("0"));
    for (const char *enabled :
         {"NewProjectSpeedButton", "OpenProjectSpeedButton", "DeleteProjectSpeedButton", "ExitSpeedButton"})
        EXPECT_TRUE(find<QToolButton>(enabled)->isEnabled()) << enabled;
    for (const char *disabled : {"CloseProjectSpeedButton", "SaveProjectSpeedButton"})
        EXPECT_FALSE(find<QToolButton>(disabled)->isEnabled()) << disabled;
    for (const char *enabled : {"NewProject1", "OpenProject1", "DeleteProject1", "Exit1", "HelpIndex1", "About1"})
        EXPECT_TRUE(find<QAction>(enabled)->isEnabled()) << enabled;
    for (const char *disabled : {"SaveProject1", "CloseProject1"})
        EXPECT_FALSE(find<QAction>(disabled)->isEnabled()) << disabled;
    EXPECT_FALSE(find<QMenu>("Data1")->isEnabled());
    for (const char *runOnly : {"SkipURLBitBtn", "SkipEngineBitBtn", "StopBitBtn"})
        EXPECT_FALSE(find<QPushButton>(runOnly)->isEnabled()) << runOnly;
}

TEST_F(StartUp, EachToolBarButtonIsItsMenuCommandWithItsOwnHint)
{
    start();
    auto *bar = find<QToolBar>("SpeedBarPanel");
    const struct
    {
        const char *command, *button, *statusTip;
    } shared[] = {{"NewProject1", "NewProjectSpeedButton", "Create a new project"},
                  {"OpenProject1", "OpenProjectSpeedButton", "Open an existing project"},
                  {"CloseProject1", "CloseProjectSpeedButton", "Close the current project"},
                  {"SaveProject1", "SaveProjectSpeedButton", "Save the current project"},
                  {"DeleteProject1", "DeleteProjectSpeedButton", "Delete a project"},
                  {"Exit1", "ExitSpeedButton", "Exit the Quillcast program"}};
    for (const auto &each : shared) {
        auto *command = find<QAction>(each.command);
        EXPECT_EQ(bar->widgetForAction(command), find<QToolButton>(each.button)) << each.button;
        // The action changes (is enabled and disabled); the button keeps its own hint.
        command->setEnabled(false);
        command->setEnabled(true);
        EXPECT_EQ(find<QToolButton>(each.button)->statusTip(), QString::fromUtf8(each.statusTip)) << each.button;
    }
    EXPECT_EQ(find<QAction>("Exit1")->statusTip(), QStringLiteral("Exit this program"));
    EXPECT_EQ(find<QToolButton>("CloseProjectSpeedButton")->toolTip(), QStringLiteral("Close Project"));
}

TEST_F(StartUp, EveryNamedControlExists)
{
    start();
    for (const char *name : {"SpeedBarPanel",
                             "PageControl",
                             "StatusBar",
                             "InfoTabSheet",
                             "InfoFirstNameEdit",
                             "InfoMIEdit",
                             "InfoLastNameEdit",
                             "InfoEmailMemo",
                             "LogoImage",
                             "SettingsTabSheet",
                             "SettingsEnginePanel",
                             "SettingsSearchEnginesCheckList",
                             "SettingsEnableAllSearchEnginesBitBtn",
                             "SettingsDisableAllSearchEnginesBitBtn",
                             "SettingsEngineAdvancedBitBtn",
                             "SettingsURLPanel",
                             "SettingsEngineListRadioGroup",
                             "DownloadEnginesNowBitBtn",
                             "SettingsEngineAutoLabel",
                             "SettingsEngineManualLabel",
                             "SettingsEngineAutoEdit",
                             "SettingsEngineManualEdit",
                             "SettingsURLAddEdit",
                             "SettingsURLAddBitBtn",
                             "URLCountEdit",
                             "URLDBNavigator",
                             "EnableAllURLsBitBtn",
                             "SettingsURLDBGrid",
                             "StatusTabSheet",
                             "SubmitBitBtn",
                             "ViewReportBitBtn",
                             "SearchURLsBitBtn",
                             "StatusLogCheckBox",
                             "SubmitDLEnginesCheckBox",
                             "SingleGauge",
                             "FullGauge",
                             "SubmitTimeoutMeter",
                             "TimeoutSlideBar",
                             "SubmitTimeoutEdit",
                             "SkipURLBitBtn",
                             "SkipEngineBitBtn",
                             "StopBitBtn",
                             "SubmitStatusRichEdit",
                             "ManualSubmitTabSheet",
                             "ManualLeftPanel",
                             "ManualEnginesListBox",
                             "ManualRefreshBitBtn",
                             "ManualRightPanel",
                             "ManualEngineNameEdit",
                             "ManualHomeURLEdit",
                             "ManualHomeURLBitBtn",
                             "ManualAddURLEdit",
                             "ManualAddURLBitBtn",
                             "ManualEngineModeEdit",
                             "ManualResponseTimeEdit",
                             "ManualLikesMemo",
                             "ManualDisLikesMemo",
                             "ManualCommentsMemo",
                             "HiddenTabSheet",
                             "HiddenNameMemo",
                             "HiddenValueMemo",
                             "SubmitStatusMemo",
                             "UserAgentMemo",
                             "AboutBox",
                             "AdvancedEngineForm",
                             "NoProjectLabel",
                             "SettingsIndexNowKeyEdit",
                             "SettingsIndexNowGenerateBitBtn",
                             "SettingsIndexNowKeyFileBitBtn"})
        EXPECT_NO_THROW(find<QObject>(name)) << name;
    EXPECT_EQ(find<QPushButton>("SubmitBitBtn")->property("hint").toString().section('|', 0, 0),
              QStringLiteral("Submit URL's"));
    EXPECT_EQ(find<QLineEdit>("SubmitTimeoutEdit")->text(), QStringLiteral("15"));
    EXPECT_TRUE(find<QCheckBox>("SubmitDLEnginesCheckBox")->isChecked());
}

TEST_F(StartUp, HelpCommandsAndTheLogoOpenThePublishersPages)
{
    start();
    find<QAction>("HelpIndex1")->trigger();
    find<QAction>("HowToIncludeYourSearchEngine1")->trigger();
    window().openHomePage();
    const auto opened = platform.ofKind("shell");
    ASSERT_EQ(opened.size(), 3);
    EXPECT_TRUE(opened[0].text.endsWith("/quillcast/help.htm"));
    EXPECT_TRUE(opened[1].text.endsWith("/quillcast/includeyourengine.htm"));
    EXPECT_TRUE(opened[2].text.endsWith("/quillcast"));
}

TEST_F(StartUp, HintsGoToTheSecondStatusPanelAndToolTipsOnlyToTheToolBar)
{
    start();
    QStatusTipEvent tip(QStringLiteral("Create a new project"));
    QApplication::sendEvent(&window(), &tip);
    EXPECT_EQ(find<QLabel>("StatusBarHintPanel")->text(), QStringLiteral("Create a new project"));
    EXPECT_EQ(find<QToolButton>("NewProjectSpeedButton")->toolTip(), QStringLiteral("New project"));
    EXPECT_EQ(find<QToolButton>("NewProjectSpeedButton")->statusTip(), QStringLiteral("Create a new project"));
    EXPECT_EQ(find<QLineEdit>("InfoFirstNameEdit")->toolTip(), QString());
    EXPECT_EQ(find<QAction>("DeleteProject1")->statusTip(), QStringLiteral("Delete a saved project"));
}

TEST_F(StartUp, BusyCursorCoversTheWindowAndTheDownloadControls)
{
    start();
    window().SetBusyCursor(1);
    for (const char *name : {"DownloadEnginesNowBitBtn", "SettingsURLPanel", "ManualRefreshBitBtn", "ManualRightPanel"})
        EXPECT_EQ(find<QWidget>(name)->cursor().shape(), Qt::WaitCursor) << name;
    EXPECT_EQ(window().cursor().shape(), Qt::WaitCursor);
    window().SetBusyCursor(2); // any other value changes nothing
    EXPECT_EQ(window().cursor().shape(), Qt::WaitCursor);
    window().SetBusyCursor(0);
    EXPECT_EQ(window().cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(find<QWidget>("ManualRightPanel")->testAttribute(Qt::WA_SetCursor));
}

TEST_F(StartUp, AboutBoxShowsItsTexts)
{
    start();
    find<QAction>("About1")->trigger();
    ASSERT_EQ(platform.ofKind("dialog").size(), 1);
    EXPECT_EQ(platform.ofKind("dialog").first().caption, QStringLiteral("About Quillcast"));
    EXPECT_EQ(find<QLabel>("AboutVersionLabel")->text(), QStringLiteral("Version 2.05"));
    EXPECT_EQ(find<QLabel>("AboutTitleLabel")->text(), QStringLiteral("Quillcast 2.05"));
    EXPECT_TRUE(find<QLabel>("AboutSalesLabel")->text().startsWith("Sales Dept: "));
    EXPECT_TRUE(find<QLabel>("AboutTechLabel")->text().startsWith("Tech Support: "));
    EXPECT_TRUE(find<QLabel>("AboutURLLabel")->text().endsWith("/quillcast"));
}

class StateRules : public WindowTest
{
protected:
    void SetUp() override
    {
        start();
        newProject();
    }
};

TEST_F(StateRules, TimeoutBoxDrivesMeterAndSlider)
{
    auto *box = find<QLineEdit>("SubmitTimeoutEdit");
    auto *meter = find<TimeoutMeter>("SubmitTimeoutMeter");
    auto *slider = find<QSlider>("TimeoutSlideBar");
    box->setText("30");
    EXPECT_EQ(window().currentSettings().timeoutSeconds(), 30);
    EXPECT_EQ(meter->maximum(), 30);
    EXPECT_EQ(meter->alertMark(), 23);
    EXPECT_EQ(slider->value(), 30);
    box->setText("15");
    EXPECT_EQ(meter->alertMark(), 12);
}

TEST_F(StateRules, ZeroOrEmptyTimeoutChangesNothing)
{
    auto *meter = find<TimeoutMeter>("SubmitTimeoutMeter");
    find<QLineEdit>("SubmitTimeoutEdit")->setText("30");
    for (const char *text : {"0", "", "abc"}) {
        // The slider puts its own value back into the box, so set the rule's input directly.
        find<QLineEdit>("SubmitTimeoutEdit")->blockSignals(true);
        find<QLineEdit>("SubmitTimeoutEdit")->setText(text);
        find<QLineEdit>("SubmitTimeoutEdit")->blockSignals(false);
        window().RefreshControls();
        EXPECT_EQ(meter->maximum(), 30) << text;
        EXPECT_EQ(meter->alertMark(), 23) << text;
        EXPECT_EQ(find<QSlider>("TimeoutSlideBar")->value(), 30) << text;
    }
}

TEST_F(StateRules, TimeoutOutsideTheSliderRangeTurnsBackIntoTheSlidersValue)
{
    find<QSlider>("TimeoutSlideBar")->setValue(20);
    find<QLineEdit>("SubmitTimeoutEdit")->setText("300");
    EXPECT_EQ(find<QLineEdit>("SubmitTimeoutEdit")->text(), QStringLiteral("20"));
    find<QSlider>("TimeoutSlideBar")->setValue(45);
    EXPECT_EQ(find<QLineEdit>("SubmitTimeoutEdit")->text(), QStringLiteral("45"));
}

TEST_F(StateRules, DefaultSourceShowsTheBuiltInAddressesGreyedOut)
{
    auto *autoEdit = find<QLineEdit>("SettingsEngineAutoEdit");
    auto *manualEdit = find<QLineEdit>("SettingsEngineManualEdit");
    find<QRadioButton>("SettingsEngineListLoad")->setChecked(true);
    EXPECT_TRUE(autoEdit->isEnabled());
    autoEdit->setText("http://127.0.0.1:9/mine.txt");
    EXPECT_EQ(window().currentSettings().listSource, ProjectSettings::TypedSource);

    window().saveProject();
    ASSERT_FALSE(window().isModified());
    find<QRadioButton>("SettingsEngineListDefault")->setChecked(true);
    EXPECT_FALSE(autoEdit->isEnabled());
    EXPECT_FALSE(manualEdit->isEnabled());
    EXPECT_FALSE(find<QLabel>("SettingsEngineAutoLabel")->isEnabled());
    EXPECT_TRUE(autoEdit->text().endsWith("/quillcast/data/engines205.txt"));
    EXPECT_TRUE(manualEdit->text().endsWith("/quillcast/data/manual_engines205.txt"));
    EXPECT_EQ(window().currentSettings().listSource, ProjectSettings::DefaultSource);
    EXPECT_TRUE(window().isModified());
}

TEST_F(StateRules, SaveIsEnabledByTypingAndDisabledBySaving)
{
    window().saveProject();
    EXPECT_FALSE(find<QToolButton>("SaveProjectSpeedButton")->isEnabled());
    find<QLineEdit>("InfoMIEdit")->setText("Q");
    EXPECT_TRUE(find<QToolButton>("SaveProjectSpeedButton")->isEnabled());
    EXPECT_TRUE(find<QAction>("SaveProject1")->isEnabled());
    window().saveProject();
    EXPECT_FALSE(find<QToolButton>("SaveProjectSpeedButton")->isEnabled());
}

TEST_F(StateRules, AddUrlButtonFollowsTheNewUrlBox)
{
    auto *add = find<QPushButton>("SettingsURLAddBitBtn");
    EXPECT_FALSE(add->isEnabled());
    find<QLineEdit>("SettingsURLAddEdit")->setText("h");
    EXPECT_TRUE(add->isEnabled());
}

TEST_F(StateRules, StatusLogBoxDrivesViewReport)
{
    auto *box = find<QCheckBox>("StatusLogCheckBox");
    box->setChecked(true);
    EXPECT_TRUE(window().currentSettings().statusLog);
    EXPECT_TRUE(find<QPushButton>("ViewReportBitBtn")->isEnabled());
    box->setChecked(false);
    EXPECT_FALSE(window().currentSettings().statusLog);
    EXPECT_FALSE(find<QPushButton>("ViewReportBitBtn")->isEnabled());
}

} // namespace
