// Projects in the window: New, Open, Save, Close, Delete and the project file.

#include "engines/ui/enginechecklist.h"
#include "project/session/profilefile.h"
#include "project/store/urltable.h"
#include "support/gui/windowfixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include <cstdlib>

using qctest::WindowTest;

namespace {

const QByteArray TwoEngines = "[Beta]\r\nQC_Action=http://b/\r\n[alpha]\r\nQC_Action=http://a/\r\n";

class Projects : public WindowTest
{
protected:
    void SetUp() override { start(); }
    QByteArray projectBytes(const QString &path) { return qctest::readFile(path); }
};

TEST_F(Projects, NewProjectGetsTheNextIdItsDirectoryAndCountsAsModified)
{
    const QString path = newProject("first.qlc");
    EXPECT_EQ(window().projectId(), 1);
    EXPECT_TRUE(window().isModified()) << "the engine list boxes changed to the built-in addresses";
    EXPECT_TRUE(find<QToolButton>("SaveProjectSpeedButton")->isEnabled());
    EXPECT_TRUE(QDir(base.file("Projects/1")).exists());
    EXPECT_EQ(window().projectDir(), base.file("Projects/1"));
    EXPECT_EQ(window().reportPath(), base.file("Projects/1/StatusLog.htm"));
    EXPECT_EQ(window().windowTitle(), "Quillcast : " + path);
    EXPECT_EQ(find<QLabel>("StatusBarIdPanel")->text(), QStringLiteral("1"));
    EXPECT_TRUE(find<QTabWidget>("PageControl")->isVisibleTo(&window()));
    EXPECT_EQ(find<QTabWidget>("PageControl")->currentWidget(), find<QWidget>("InfoTabSheet"));

    const auto save = platform.ofKind("save").first().fileDialog;
    EXPECT_EQ(save.objectName, QStringLiteral("ProjSaveDialog"));
    EXPECT_EQ(save.title, QStringLiteral("Give a name to this new project"));
    EXPECT_EQ(save.fileName, QStringLiteral("Quillcast Project"));
    EXPECT_EQ(save.filter, QStringLiteral("Quillcast Project (*.qlc)|*.qlc"));
    EXPECT_EQ(save.defaultSuffix, QStringLiteral("qlc"));
    EXPECT_TRUE(save.promptOverwrite);

    // Sections in the order they were first written, "Setup" last.
    EXPECT_EQ(ProfileFile(path).sectionNames(),
              QStringList({"Search Engine Settings", "Submit", "Info", "Advanced Engine Settings", "Setup"}));
    EXPECT_EQ(ProfileFile(base.file("Quillcast.ini")).readInteger("Projects", "Project Counter", 0), 1);

    // Close asks, and a second New gets the next ID and proposes the last name.
    platform.answers.enqueue(Platform::No);
    newProject("second.qlc");
    EXPECT_EQ(platform.captions().last(), QStringLiteral("Confirm"));
    EXPECT_EQ(window().projectId(), 2);
    EXPECT_EQ(platform.ofKind("save").last().fileDialog.fileName, QStringLiteral("first.qlc"));
}

TEST_F(Projects, CancelledNewKeepsTheOpenProject)
{
    newProject();
    window().saveProject();
    window().newProject(); // no file answer queued: cancelled
    EXPECT_EQ(window().projectId(), 1);
    EXPECT_FALSE(window().isModified());
}

TEST_F(Projects, SettingsSurviveSaveCloseAndOpen)
{
    const QString path = newProject();
    find<QLineEdit>("InfoFirstNameEdit")->setText("Ann");
    find<QLineEdit>("InfoMIEdit")->setText("Q");
    find<QLineEdit>("InfoLastNameEdit")->setText("Lee");
    find<QPlainTextEdit>("InfoEmailMemo")->setPlainText("ann@site.example\n\nlee@site.example");
    find<QLineEdit>("SubmitTimeoutEdit")->setText("45");
    window().saveProject();
    // An empty line is saved with an empty value.
    EXPECT_TRUE(
        projectBytes(path).contains("[Emails]\r\nEmail0=ann@site.example\r\nEmail1=\r\nEmail2=lee@site.example\r\n"));
    window().closeProject();
    EXPECT_EQ(find<QLineEdit>("InfoFirstNameEdit")->text(), QString());
    EXPECT_EQ(window().projectId(), 0);

    platform.fileAnswers.enqueue(path);
    window().openProject();
    EXPECT_EQ(window().projectId(), 1);
    EXPECT_FALSE(window().isModified());
    EXPECT_EQ(find<QLineEdit>("InfoFirstNameEdit")->text(), QStringLiteral("Ann"));
    EXPECT_EQ(find<QLineEdit>("InfoLastNameEdit")->text(), QStringLiteral("Lee"));
    EXPECT_EQ(find<QLineEdit>("SubmitTimeoutEdit")->text(), QStringLiteral("45"));
    // Empty lines close up.
    EXPECT_EQ(find<QPlainTextEdit>("InfoEmailMemo")->toPlainText(),
              QStringLiteral("ann@site.example\nlee@site.example"));
    EXPECT_EQ(platform.ofKind("open").last().fileDialog.title, QStringLiteral("Open a Quillcast Project"));
}

TEST_F(Projects, EmailKeysWithGapsKeepEveryAddressThroughASave)
{
    qctest::writeFile(base.file("gap.qlc"), "[Setup]\r\nProject ID=7\r\n[Emails]\r\nEmail5=f@x\r\nEmail0=a@x\r\n"
                                            "Email12=m@x\r\nEmail2=\r\nEmailX=not@x\r\n");
    platform.fileAnswers.enqueue(base.file("gap.qlc"));
    window().openProject();
    EXPECT_EQ(find<QPlainTextEdit>("InfoEmailMemo")->toPlainText(), QStringLiteral("a@x\nf@x\nm@x"));
    EXPECT_EQ(window().projectId(), 7);
    find<QLineEdit>("InfoFirstNameEdit")->setText("Ann");
    window().saveProject();
    EXPECT_TRUE(projectBytes(base.file("gap.qlc")).contains("[Emails]\r\nEmail0=a@x\r\nEmail1=f@x\r\nEmail2=m@x\r\n["));
}

TEST_F(Projects, EngineChoiceMatchesNamesExactlyAndKeepsUnknownEngines)
{
    qctest::writeFile(base.file("engines205.txt"), TwoEngines);
    qctest::writeFile(base.file("p.qlc"),
                      "[Setup]\r\nProject ID=3\r\n[Search Engines]\r\nBETA=1\r\nalpha=1\r\nGone=1\r\n");
    platform.fileAnswers.enqueue(base.file("p.qlc"));
    window().openProject();
    auto *engines = find<EngineCheckList>("SettingsSearchEnginesCheckList");
    ASSERT_EQ(engines->count(), 2);
    EXPECT_TRUE(engines->isChecked(engines->indexOf("alpha")));
    EXPECT_FALSE(engines->isChecked(engines->indexOf("Beta")));

    engines->setChecked(engines->indexOf("Beta"), true);
    engines->setChecked(engines->indexOf("alpha"), false);
    window().saveProject();
    window().saveProject();
    const ProfileFile saved(base.file("p.qlc"));
    EXPECT_EQ(saved.readString("Search Engines", "Gone", ""), QStringLiteral("1"));
    EXPECT_EQ(saved.readString("Search Engines", "Beta", ""), QStringLiteral("1"));
    EXPECT_EQ(saved.readString("Search Engines", "alpha", "none"), QStringLiteral("none"));
    // An engine the list does not name stays chosen for a list that will.
    EXPECT_TRUE(window().currentSettings().chosenEngines.contains("Gone"));
    EXPECT_TRUE(window().currentSettings().chosenEngines.contains("BETA"));
}

TEST_F(Projects, OpenWithChangesAndCancelKeepsTheProject)
{
    newProject();
    platform.answers.enqueue(Platform::Cancel);
    window().openProject();
    EXPECT_TRUE(platform.ofKind("open").isEmpty());
    EXPECT_EQ(window().projectId(), 1);
    EXPECT_TRUE(window().isModified());
}

TEST_F(Projects, FilesWithoutAValidIdAreRefused)
{
    qctest::writeFile(base.file("noid.qlc"), "[Info]\r\nFirst Name=Ann\r\n");
    qctest::writeFile(base.file("binary.qlc"), QByteArray("\x00\xff[Setup\x00]\nProject ID=\x01", 24));
    // Each of these the URL table would store under another number, or under one shared with another project.
    const QStringList refused = {"-4", "0", "99999999999", "2147483648", "1.5", "12abc", "1e3", "+7"};
    for (const QString &id : refused)
        qctest::writeFile(base.file(id + ".qlc"), "[Setup]\r\nProject ID=" + id.toUtf8() + "\r\n");
    QStringList names = {"noid.qlc", "binary.qlc", "missing.qlc"};
    for (const QString &id : refused)
        names << id + ".qlc";
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        platform.fileAnswers.enqueue(base.file(name));
        window().openProject();
        ASSERT_FALSE(platform.ofKind("message").isEmpty());
        const QString id = name.chopped(4);
        EXPECT_EQ(platform.ofKind("message").last().text, refused.contains(id)
                                                              ? "This project has an invalid ID: the Project ID \"" +
                                                                    id + "\" is not a whole number from 1 to 2147483647"
                                                              : QStringLiteral("This project has an invalid ID"));
        EXPECT_EQ(platform.ofKind("message").last().caption, QStringLiteral("Error"));
        EXPECT_EQ(window().projectId(), 0);
        EXPECT_FALSE(find<QTabWidget>("PageControl")->isVisibleTo(&window()));
        EXPECT_EQ(window().windowTitle(), "Quillcast : " + base.file(name));
    }
    qctest::writeFile(base.file("top.qlc"), "[Setup]\r\nProject ID= 2147483647 \r\n");
    platform.fileAnswers.enqueue(base.file("top.qlc"));
    window().openProject();
    EXPECT_EQ(window().projectId(), 2147483647);
}

TEST_F(Projects, ATimeoutWrittenOutsideTheBoxsRangeIsTakenAsTheNearestBound)
{
    // What a run waits is the file's value within the bounds; without one it waits its default, 15
    // seconds, whatever the box showed before.
    const struct
    {
        const char *written;
        const char *shown;
        int seconds;
    } cases[] = {{"0", "15", 15},     {"abc", "15", 15},  {"", "15", 15}, {"300", "120", 120},
                 {"121", "120", 120}, {"4", "5", 5},      {"-7", "5", 5}, {"45", "45", 45},
                 {"abc", "15", 15},   {"90 s", "90", 90}, {"0", "15", 15}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.written);
        qctest::writeFile(base.file("t.qlc"),
                          QByteArray("[Setup]\r\nProject ID=3\r\n[Submit]\r\nTimeout=") + c.written + "\r\n");
        platform.fileAnswers.enqueue(base.file("t.qlc"));
        window().openProject();
        EXPECT_EQ(find<QLineEdit>("SubmitTimeoutEdit")->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(ProjectSettings::load(base.file("t.qlc")).timeoutSeconds(), c.seconds);
        window().closeProject();
    }
}

TEST_F(Projects, WhatAnotherProgramChangedShowsWhenTheWindowIsActivatedAgain)
{
    const QString path = newProject();
    window().saveProject();
    window().FormActivate();
    const auto activate = [this] {
        QEvent event(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&window(), &event);
    };
    // A cron run beside the window: its own connection to the table, and the project file.
    {
        UrlTable cron(base.path());
        cron.replaceProjectUrls(1, {"http://a.example/", "http://b.example/"});
    }
    ProjectSettings::saveIndexNowKey(path, "made-by-cron-1");
    auto *grid = find<QTableView>("SettingsURLDBGrid");
    EXPECT_EQ(grid->model()->rowCount(), 0);
    activate();
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(find<QLineEdit>("SettingsIndexNowKeyEdit")->text(), QStringLiteral("made-by-cron-1"));
    EXPECT_FALSE(window().isModified());

    // What the user changed and has not saved is not overwritten.
    find<QLineEdit>("InfoFirstNameEdit")->setText("Ann");
    ProjectSettings::saveIndexNowKey(path, "made-by-cron-2");
    activate();
    EXPECT_EQ(find<QLineEdit>("SettingsIndexNowKeyEdit")->text(), QStringLiteral("made-by-cron-1"));
    EXPECT_EQ(find<QLineEdit>("InfoFirstNameEdit")->text(), QStringLiteral("Ann"));
}

TEST_F(Projects, CloseAnswersYesNoAndCancel)
{
    const QString path = newProject();
    find<QLineEdit>("InfoFirstNameEdit")->setText("Ann");
    platform.answers.enqueue(Platform::Cancel);
    window().closeProject();
    EXPECT_EQ(window().projectId(), 1);

    platform.answers.enqueue(Platform::Yes);
    window().closeProject();
    EXPECT_EQ(window().projectId(), 0);
    EXPECT_EQ(ProfileFile(path).readString("Info", "First Name", ""), QStringLiteral("Ann"));
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillcast"));
    EXPECT_EQ(platform.ofKind("message").last().text,
              QStringLiteral("Do you want to save the current settings for this project?"));
    EXPECT_EQ(platform.ofKind("message").last().buttons, Platform::Yes | Platform::No | Platform::Cancel);
}

TEST_F(Projects, ClosingTheWindowWithUnsavedChangesAsksAsExitDoes)
{
    const QString path = newProject();
    window().saveProject();
    window().show();
    find<QLineEdit>("InfoFirstNameEdit")->setText("Ann");
    platform.answers.enqueue(Platform::Cancel);
    EXPECT_FALSE(window().close());
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(platform.ofKind("message").last().text,
              QStringLiteral("Do you want to save the current settings for this project?"));

    platform.answers.enqueue(Platform::Yes);
    EXPECT_TRUE(window().close());
    EXPECT_EQ(ProfileFile(path).readString("Info", "First Name", ""), QStringLiteral("Ann"));
}

TEST_F(Projects, AProjectFileThatCannotBeWrittenIsReportedAndKeptOpen)
{
    const QString path = newProject();
    window().saveProject();
    find<QLineEdit>("InfoFirstNameEdit")->setText("Ann");
    // A directory in place of the file makes every write fail.
    QFile::remove(path);
    QDir().mkdir(path);
    window().saveProject();
    ASSERT_FALSE(platform.ofKind("error").isEmpty());
    EXPECT_EQ(platform.ofKind("error").last().text, "Unable to write to " + path);
    EXPECT_TRUE(window().isModified());

    platform.answers.enqueue(Platform::Yes);
    window().closeProject();
    EXPECT_EQ(window().projectId(), 1) << "a close whose save failed is abandoned";
}

TEST_F(Projects, DeleteAskedNoLeavesEverything)
{
    const QString path = newProject();
    window().urlTable().addUrl(1, "http://a.example/");
    window().saveProject();
    window().closeProject();
    EXPECT_TRUE(find<QAction>("DeleteProject1")->isEnabled());

    platform.fileAnswers.enqueue(path);
    platform.answers.enqueue(Platform::No);
    window().deleteProject();
    const auto question = platform.ofKind("message").last();
    EXPECT_EQ(question.caption, QStringLiteral("Deleting Project"));
    EXPECT_EQ(question.text, "About to delete \"" + path + "\" permanently, press YES to do it and NO to keep it");
    EXPECT_EQ(question.buttons, Platform::Yes | Platform::No);
    EXPECT_EQ(question.icon, Platform::Icon::Stop);
    EXPECT_EQ(platform.ofKind("open").last().fileDialog.title, QStringLiteral("Delete a project"));
    EXPECT_EQ(window().projectId(), 0);
    EXPECT_EQ(find<QLineEdit>("InfoFirstNameEdit")->text(), QString());
    EXPECT_TRUE(QFile::exists(path));
    window().urlTable().setFilter(1);
    EXPECT_EQ(window().urlTable().rowCount(), 1);
}

TEST_F(Projects, DeleteAskedYesRemovesRowsDirectoryAndFile)
{
    const QString path = newProject();
    window().urlTable().addUrl(1, "http://a.example/");
    window().urlTable().addUrl(2, "http://other.example/");
    qctest::writeFile(base.file("Projects/1/PR_0.htm"), "answer");
    window().saveProject();
    window().closeProject();

    platform.fileAnswers.enqueue(path);
    platform.answers.enqueue(Platform::Yes);
    window().deleteProject();
    EXPECT_EQ(platform.ofKind("message").last().text, QStringLiteral("Project has been deleted"));
    EXPECT_EQ(platform.ofKind("message").last().caption, QStringLiteral("Finished"));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(QDir(base.file("Projects/1")).exists());
    EXPECT_EQ(window().projectId(), 0);
    window().urlTable().setFilter(1);
    EXPECT_EQ(window().urlTable().rowCount(), 0);
    window().urlTable().setFilter(2);
    EXPECT_EQ(window().urlTable().rowCount(), 1) << "another project's rows stay";
    // IDs are never reused.
    platform.answers.enqueue(Platform::No);
    newProject("next.qlc");
    EXPECT_EQ(window().projectId(), 2);
}

TEST_F(Projects, DeleteKeepsAProjectDirectoryThatHoldsADirectory)
{
    const QString path = newProject();
    window().saveProject();
    window().closeProject();
    QDir().mkpath(base.file("Projects/1/sub"));
    qctest::writeFile(base.file("Projects/1/a.htm"), "x");
    platform.fileAnswers.enqueue(path);
    platform.answers.enqueue(Platform::Yes);
    window().deleteProject();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(QFile::exists(base.file("Projects/1/a.htm")));
    EXPECT_TRUE(QDir(base.file("Projects/1/sub")).exists());
}

TEST_F(Projects, SenderEmailIsANonEmptyLineOfTheEmailBox)
{
    newProject();
    find<QPlainTextEdit>("InfoEmailMemo")->setPlainText("\na@x\n\nb@x");
    const ProjectSettings settings = window().currentSettings();
    for (int i = 0; i < 50; ++i) {
        const QString email = settings.pickSenderEmail();
        EXPECT_TRUE(email == "a@x" || email == "b@x") << email.toStdString();
    }
    find<QPlainTextEdit>("InfoEmailMemo")->setPlainText("\n\n");
    EXPECT_EQ(window().currentSettings().pickSenderEmail(), QString());

    // The choice does not follow the C library's generator, which every start seeds alike.
    find<QPlainTextEdit>("InfoEmailMemo")->setPlainText("a@x\nb@x\nc@x\nd@x");
    const auto picks = [&] {
        std::srand(1);
        QStringList picked;
        for (int i = 0; i < 64; ++i)
            picked << window().currentSettings().pickSenderEmail();
        return picked;
    };
    EXPECT_NE(picks(), picks());
}

class IndexNowKey : public Projects
{
protected:
    void SetUp() override
    {
        Projects::SetUp();
        path = newProject();
        window().saveProject();
        edit = find<QLineEdit>("SettingsIndexNowKeyEdit");
    }
    QString path;
    QLineEdit *edit = nullptr;
};

TEST_F(IndexNowKey, GenerateFillsTheBoxAndTheKeyIsSavedWithTheProject)
{
    find<QPushButton>("SettingsIndexNowGenerateBitBtn")->click();
    const QString key = edit->text();
    EXPECT_TRUE(ProjectSettings::isValidIndexNowKey(key)) << key.toStdString();
    EXPECT_TRUE(window().isModified());
    find<QPushButton>("SettingsIndexNowGenerateBitBtn")->click();
    EXPECT_NE(edit->text(), key);

    edit->setText("typed-Key-0123");
    window().saveProject();
    window().closeProject();
    EXPECT_EQ(ProjectSettings::load(path).indexNowKey, QStringLiteral("typed-Key-0123"));
    platform.fileAnswers.enqueue(path);
    window().openProject();
    EXPECT_EQ(edit->text(), QStringLiteral("typed-Key-0123"));
    EXPECT_FALSE(window().isModified());
}

TEST_F(IndexNowKey, KeyFileHoldsTheKeyAlone)
{
    edit->setText("abcdef-0123456789");
    const QString target = base.file("site-root/abcdef-0123456789.txt");
    QDir().mkpath(base.file("site-root"));
    qctest::writeFile(target, "an older key\n");
    platform.fileAnswers.enqueue(target);
    find<QPushButton>("SettingsIndexNowKeyFileBitBtn")->click();
    const auto dialog = platform.ofKind("save").last().fileDialog;
    EXPECT_EQ(dialog.objectName, QStringLiteral("KeyFileSaveDialog"));
    EXPECT_EQ(dialog.fileName, QStringLiteral("abcdef-0123456789.txt"));
    EXPECT_TRUE(dialog.promptOverwrite);
    EXPECT_EQ(qctest::readFile(target), QByteArray("abcdef-0123456789"));

    find<QPushButton>("SettingsIndexNowKeyFileBitBtn")->click(); // cancelled: nothing written
    EXPECT_EQ(platform.ofKind("save").size(), 3);
    EXPECT_TRUE(platform.ofKind("message").isEmpty());
}

TEST_F(IndexNowKey, AnInvalidKeyIsRefusedWithWhatAKeyMustBe)
{
    for (const char *key : {"", "short12", "has space1", "under_score", "\u00e9t\u00e9-key-1"}) {
        edit->setText(QString::fromUtf8(key));
        find<QPushButton>("SettingsIndexNowKeyFileBitBtn")->click();
        ASSERT_FALSE(platform.ofKind("message").isEmpty()) << key;
        const auto box = platform.ofKind("message").last();
        EXPECT_EQ(box.caption, QStringLiteral("Invalid IndexNow key"));
        EXPECT_TRUE(box.text.contains(QStringLiteral("8 to 128 characters"))) << box.text.toStdString();
        EXPECT_EQ(box.icon, Platform::Icon::Error);
    }
    EXPECT_EQ(platform.ofKind("save").size(), 1) << "only the new project's";
}

} // namespace
