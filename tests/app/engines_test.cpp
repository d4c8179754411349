// The engine lists in the window: the check list and engine table, the Excite
// rule, the manual page, and downloading the lists.

#include "app/enginecommands.h"
#include "engines/ui/advancedengineform.h"
#include "engines/ui/enginechecklist.h"
#include "project/store/urltablemodel.h"
#include "runs/ui/statuslog.h"
#include "support/gui/windowfixture.h"
#include "support/lighttpdfixture.h"
#include "support/loopbackpeer.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

using qctest::WindowTest;

namespace {

QByteArray engineSection(const QByteArray &name, const QByteArray &column)
{
    return "[" + name +
           "]\r\nQC_Action=http://127.0.0.1:9/add\r\nQC_Method=post\r\nQC_PostData=url=$URL\r\n"
           "QC_Encode=no\r\nQC_Sleep=0\r\nQC_Search_Action=NONE\r\nQC_Search_PostData=q=$URL\r\n"
           "QC_Search_None=No+match\r\nQC_MaxSubmit=100\r\nQC_InternalIndex=" +
           column + "\r\n";
}

class Engines : public WindowTest
{
protected:
    void SetUp() override
    {
        qctest::writeFile(base.file("engines205.txt"),
                          engineSection("Zeta", "E3") + engineSection("alpha", "E1") + engineSection("Beta", "E2") +
                              engineSection("Excite", "E4") +
                              // An empty value drops its line: the column moves out of place.
                              "[Gap]\r\nQC_Action=http://g/\r\nQC_Method=post\r\nQC_PostData=\r\nQC_Encode=no\r\n"
                              "QC_Sleep=0\r\nQC_Search_Action=NONE\r\nQC_Search_PostData=q\r\nQC_Search_None=x\r\n"
                              "QC_MaxSubmit=1\r\nQC_InternalIndex=E5\r\n");
        qctest::writeFile(base.file("manual_engines205.txt"),
                          "[Hand One]\r\nQC_HomeURL=http://one.example/\r\nQC_AddURL=http://one.example/add\r\n"
                          "QC_AutomaticSubmit=No\r\nQC_ResponseTime=2 weeks\r\nQC_Likes=Short titles\r\n"
                          "QC_Dislikes=Frames\r\nQC_Comments=Be patient\r\n"
                          "[Hand Two]\r\nQC_HomeURL=http://two.example/\r\n");
        start();
        newProject();
        list = find<EngineCheckList>("SettingsSearchEnginesCheckList");
    }

    void select(const QString &name)
    {
        list->setSelectedIndex(list->indexOf(name));
        window().MarkModified(); // what the list's click handler does
    }

    EngineCheckList *list = nullptr;
};

TEST_F(Engines, CheckListIsSortedWithoutRegardToCaseAndTheCatalogueFollowsIt)
{
    const EngineCatalogue &engines = window().engines();
    ASSERT_EQ(engines.size(), 5);
    const QStringList expected = {"alpha", "Beta", "Excite", "Gap", "Zeta"};
    const QStringList columns = {"E1", "E2", "E4", "", "E3"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list->text(i), expected[i]);
        EXPECT_EQ(engines.at(i).name, expected[i]);
        EXPECT_EQ(engines.at(i).column, columns[i]) << expected[i].toStdString();
    }
}

TEST_F(Engines, SelectingAnEngineBindsTheEnabledColumn)
{
    auto *model = qobject_cast<UrlTableModel *>(find<QTableView>("SettingsURLDBGrid")->model());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->flagColumn(), QString()) << "no binding before a selection";
    select("Beta");
    EXPECT_EQ(model->flagColumn(), QStringLiteral("E2"));
    list->setSelectedIndex(-1);
    window().RefreshControls();
    EXPECT_EQ(model->flagColumn(), QStringLiteral("E2")) << "kept while nothing is selected";
    select("Gap");
    EXPECT_EQ(model->flagColumn(), QString()) << "an engine without a column binds no field";
}

TEST_F(Engines, ExciteNeedsAllThreeSettings)
{
    auto *advanced = find<QPushButton>("SettingsEngineAdvancedBitBtn");
    const int excite = list->indexOf("Excite");
    select("Excite");
    EXPECT_TRUE(advanced->isEnabled());
    EXPECT_FALSE(list->isItemEnabled(excite));
    EXPECT_FALSE(list->isChecked(excite));
    select("Beta");
    EXPECT_FALSE(advanced->isEnabled());

    // The dialog fills its boxes from the settings and copies them back on OK.
    platform.dialogScripts.enqueue([](QDialog &dialog) {
        auto &form = static_cast<TAdvancedEngineForm &>(dialog);
        form.show();
        EXPECT_EQ(form.ExciteLanguageComboBox->currentText(), QStringLiteral("Nothing Selected"));
        form.ExciteLanguageComboBox->setCurrentText("English");
        form.ExciteLocationComboBox->setCurrentText("Atlantis");
        form.ExciteCategoryComboBox->setCurrentText("News");
        form.OKBitBtn->click();
        return form.result();
    });
    window().engineCommands().editExciteSettings();
    EXPECT_EQ(window().currentSettings().exciteLocation, QStringLiteral("Atlantis"));
    EXPECT_TRUE(list->isItemEnabled(excite));
    list->setChecked(excite, true);
    window().RefreshControls();
    EXPECT_TRUE(list->isChecked(excite)) << "checkable once all three are given";

    // Cancel copies nothing but still marks the project modified.
    window().saveProject();
    platform.dialogScripts.enqueue([](QDialog &dialog) {
        auto &form = static_cast<TAdvancedEngineForm &>(dialog);
        form.show();
        form.ExciteCategoryComboBox->setCurrentText("Nothing Selected");
        form.BitBtn1->click();
        return form.result();
    });
    window().engineCommands().editExciteSettings();
    EXPECT_EQ(window().currentSettings().exciteCategory, QStringLiteral("News"));
    EXPECT_TRUE(window().isModified());
}

TEST_F(Engines, ExciteIsChosenFromAProjectOnlyWithAllThreeSettings)
{
    qctest::writeFile(base.file("x.qlc"), "[Setup]\r\nProject ID=9\r\n[Advanced Engine Settings]\r\n"
                                          "Excite Language=English\r\nExcite Category=News\r\n"
                                          "[Search Engines]\r\nExcite=1\r\nBeta=1\r\n");
    window().saveProject();
    platform.fileAnswers.enqueue(base.file("x.qlc"));
    window().openProject();
    EXPECT_FALSE(list->isChecked(list->indexOf("Excite")));
    EXPECT_FALSE(list->isItemEnabled(list->indexOf("Excite")));
    EXPECT_TRUE(list->isChecked(list->indexOf("Beta")));

    // A project with all three, opened after one without, keeps Excite chosen.
    qctest::writeFile(base.file("y.qlc"),
                      "[Setup]\r\nProject ID=10\r\n[Advanced Engine Settings]\r\n"
                      "Excite Language=English\r\nExcite Location=Atlantis\r\n"
                      "Excite Category=News\r\n[Search Engines]\r\nExcite=1\r\n[Submit]\r\nTimeout=30\r\n");
    platform.answers.enqueue(Platform::No);
    platform.fileAnswers.enqueue(base.file("y.qlc"));
    window().openProject();
    EXPECT_TRUE(list->isChecked(list->indexOf("Excite")));
    EXPECT_TRUE(list->isItemEnabled(list->indexOf("Excite")));
}

TEST_F(Engines, EnableAllChecksDisabledItemsUntilTheNextPassAndDisableAllClears)
{
    window().saveProject();
    window().engineCommands().enableAllEngines();
    EXPECT_TRUE(window().isModified());
    for (int i = 0; i < list->count(); ++i)
        EXPECT_TRUE(list->isChecked(i)) << list->text(i).toStdString();
    window().RefreshControls();
    EXPECT_FALSE(list->isChecked(list->indexOf("Excite")));
    window().engineCommands().disableAllEngines();
    for (int i = 0; i < list->count(); ++i)
        EXPECT_FALSE(list->isChecked(i));
}

TEST_F(Engines, ManualPageShowsTheClickedEngine)
{
    window().FormActivate();
    auto *box = find<QListWidget>("ManualEnginesListBox");
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->item(0)->text(), QStringLiteral("Hand One")) << "file order";
    window().saveProject();

    box->setCurrentRow(0);
    window().engineCommands().showManualEngine();
    EXPECT_TRUE(window().isModified());
    EXPECT_EQ(find<QLineEdit>("ManualEngineNameEdit")->text(), QStringLiteral("Hand One"));
    EXPECT_EQ(find<QLineEdit>("ManualResponseTimeEdit")->text(), QStringLiteral("2 weeks"));
    EXPECT_EQ(find<QPlainTextEdit>("ManualDisLikesMemo")->toPlainText(), QStringLiteral("Frames"));
    EXPECT_TRUE(find<QPushButton>("ManualAddURLBitBtn")->isEnabled());
    find<QPushButton>("ManualAddURLBitBtn")->click();
    EXPECT_EQ(platform.ofKind("shell").last().text, QStringLiteral("http://one.example/add"));

    // The keys move the selection as the mouse does.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(find<QLineEdit>("ManualEngineNameEdit")->text(), QStringLiteral("Hand Two"));
    EXPECT_EQ(find<QLineEdit>("ManualAddURLEdit")->text(), QString());
    EXPECT_FALSE(find<QPushButton>("ManualAddURLBitBtn")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("ManualHomeURLBitBtn")->isEnabled());
}

TEST_F(Engines, ManualPageReloadsAfterTheProgramsOwnDialogsOnly)
{
    const auto activate = [this] {
        QEvent activation(QEvent::WindowActivate);
        QApplication::sendEvent(&window(), &activation);
    };
    auto *box = find<QListWidget>("ManualEnginesListBox");
    auto *name = find<QLineEdit>("ManualEngineNameEdit");
    activate(); // the first activation loads the list
    ASSERT_EQ(box->count(), 2);
    const auto choose = [&] {
        box->setCurrentRow(1);
        window().engineCommands().showManualEngine();
        ASSERT_EQ(name->text(), QStringLiteral("Hand Two"));
    };
    choose();

    // Back from a message box, a file dialog or another program: the page stays.
    find<QLineEdit>("SettingsIndexNowKeyEdit")->setText("short");
    find<QPushButton>("SettingsIndexNowKeyFileBitBtn")->click();
    ASSERT_EQ(platform.captions().last(), QStringLiteral("Invalid IndexNow key"));
    activate();
    window().saveProject();
    window().openProject(); // its file dialog is cancelled
    activate();
    EXPECT_EQ(name->text(), QStringLiteral("Hand Two"));
    EXPECT_EQ(box->currentRow(), 1);

    // Back from the About box or the Excite settings: reloaded and blank.
    for (const auto &openDialog : std::initializer_list<std::function<void()>>{
             [this] { window().showAbout(); }, [this] { window().engineCommands().editExciteSettings(); }}) {
        choose();
        openDialog();
        activate();
        EXPECT_EQ(name->text(), QString());
        EXPECT_EQ(box->count(), 2);
        activate();
    }
    EXPECT_EQ(platform.ofKind("dialog").size(), 2);
}

class Download : public Engines
{
protected:
    void pointListsAt(const QByteArray &autoUrl, const QByteArray &manualUrl)
    {
        find<QRadioButton>("SettingsEngineListLoad")->setChecked(true);
        find<QLineEdit>("SettingsEngineAutoEdit")->setText(QString::fromUtf8(autoUrl));
        find<QLineEdit>("SettingsEngineManualEdit")->setText(QString::fromUtf8(manualUrl));
    }
    qctest::LighttpdFixture server;
};

TEST_F(Download, RefreshDownloadsBothListsAndKeepsWhatWasTyped)
{
    server.addFile("lists/auto.txt", engineSection("Newcomer", "E9") + engineSection("Beta", "E2"));
    server.addFile("lists/manual.txt", "[Hand Three]\r\nQC_HomeURL=http://three.example/\r\n");
    ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    pointListsAt(server.url("/lists/auto.txt"), server.url("/lists/manual.txt"));
    list->setChecked(list->indexOf("Beta"), true);
    window().saveProject();
    find<QLineEdit>("InfoFirstNameEdit")->setText("Unsaved");

    find<QPushButton>("DownloadEnginesNowBitBtn")->click();
    EXPECT_EQ(platform.ofKind("message").last().text, QStringLiteral("Search Engine list is now updated"));
    EXPECT_EQ(platform.ofKind("message").last().caption, QStringLiteral("Finished"));
    EXPECT_EQ(qctest::readFile(base.file("engines205.txt")),
              engineSection("Newcomer", "E9") + engineSection("Beta", "E2"));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->text(1), QStringLiteral("Newcomer"));
    EXPECT_TRUE(list->isChecked(list->indexOf("Beta"))) << "a chosen engine still listed stays chosen";
    EXPECT_EQ(find<QListWidget>("ManualEnginesListBox")->item(0)->text(), QStringLiteral("Hand Three"));
    EXPECT_EQ(find<QLineEdit>("InfoFirstNameEdit")->text(), QStringLiteral("Unsaved"));
    EXPECT_TRUE(window().isModified());
}

TEST_F(Download, MoreThanThirtyEnginesListsTheFirstThirtyAndSaysSo)
{
    QByteArray many;
    for (int i = 0; i < 35; ++i)
        many += engineSection("Engine" + QByteArray::number(100 + i), "E" + QByteArray::number(i % 30 + 1));
    server.addFile("lists/auto.txt", many);
    ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    pointListsAt(server.url("/lists/auto.txt"), server.url("/lists/auto.txt"));
    window().engineCommands().downloadLists();
    EXPECT_EQ(window().engines().size(), 30);
    EXPECT_EQ(list->count(), 30);
    EXPECT_EQ(window().engines().at(29).name, QStringLiteral("Engine129"));
    const auto *log = find<StatusLog>("SubmitStatusRichEdit");
    ASSERT_GE(log->lineCount(), 1);
    EXPECT_EQ(log->lineText(log->lineCount() - 1),
              QStringLiteral("The engine list names 35 engines; only the first 30 are listed."));
}

TEST_F(Download, FailedDownloadsLeaveTheLocalListsAndSayWhy)
{
    ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    const QByteArray before = qctest::readFile(base.file("engines205.txt"));
    // A missing file answers 404 with an error page; a closed port refuses.
    const QByteArray missing = server.url("/lists/missing.txt");
    const QByteArray refused = "http://127.0.0.1:" + QByteArray::number(qctest::freeLoopbackPort()) + "/m.txt";
    pointListsAt(missing, refused);
    window().saveProject();
    window().engineCommands().downloadLists();
    EXPECT_EQ(qctest::readFile(base.file("engines205.txt")), before);
    EXPECT_TRUE(QFile::exists(base.file("manual_engines205.txt")));
    EXPECT_EQ(list->count(), 5);
    EXPECT_FALSE(QFile::exists(base.file("engines205.txt.download")));
    const auto box = platform.ofKind("message").last();
    EXPECT_EQ(box.caption, QStringLiteral("Engine lists not updated"));
    EXPECT_EQ(box.icon, Platform::Icon::Error);
    const QStringList text = box.text.split('\n');
    ASSERT_EQ(text.size(), 3) << box.text.toStdString();
    EXPECT_EQ(text.at(0), QStringLiteral("The engine lists could not be updated; the lists you have are kept."));
    EXPECT_TRUE(text.at(1).startsWith(QString::fromUtf8(missing) + ": ")) << text.at(1).toStdString();
    EXPECT_TRUE(text.at(2).startsWith(QString::fromUtf8(refused) + ": ")) << text.at(2).toStdString();
}

TEST_F(Download, AServerThatNeverFinishesIsGivenUpAfterTheTimeout)
{
    qctest::LoopbackPeer silent;
    silent.readRequest().send("HTTP/1.0 200 OK\r\n\r\n[Half").holdOpen();
    ASSERT_TRUE(silent.start());
    const QByteArray before = qctest::readFile(base.file("engines205.txt"));
    find<QLineEdit>("SubmitTimeoutEdit")->setText("5");
    pointListsAt(silent.url("/auto.txt"),
                 "http://127.0.0.1:" + QByteArray::number(qctest::freeLoopbackPort()) + "/manual.txt");
    window().engineCommands().fetchLists();
    EXPECT_EQ(qctest::readFile(base.file("engines205.txt")), before);
    EXPECT_FALSE(QFile::exists(base.file("engines205.txt.download")));
}

} // namespace
