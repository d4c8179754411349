// The engine commands of the main window: loading the engine lists into the
// check list, the engine table and the manual page, downloading them, choosing
// engines and the Excite settings.

#include "app/constants.h"
#include "app/mainform.h"
#include "app/memolines.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "engines/enginelist.h"
#include "engines/ui/advancedengineform.h"
#include "engines/ui/enginechecklist.h"
#include "net/httpclient.h"

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

void TMainForm::connectEngineControls()
{
    EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    connect(engines, &EngineCheckList::checkChanging, this, [this](int) { MarkModified(); });
    connect(engines, &EngineCheckList::listClicked, this, &TMainForm::MarkModified);
    connect(Settings.SettingsEnableAllSearchEnginesBitBtn, &QPushButton::clicked, this,
            &TMainForm::SettingsEnableAllSearchEnginesBitBtnClick);
    connect(Settings.SettingsDisableAllSearchEnginesBitBtn, &QPushButton::clicked, this,
            &TMainForm::SettingsDisableAllSearchEnginesBitBtnClick);
    connect(Settings.SettingsEngineAdvancedBitBtn, &QPushButton::clicked, this,
            &TMainForm::SettingsEngineAdvancedBitBtnClick);
    connect(Settings.DownloadEnginesNowBitBtn, &QPushButton::clicked, this, &TMainForm::ManualRefreshBitBtnClick);
    connect(Manual.ManualRefreshBitBtn, &QPushButton::clicked, this, &TMainForm::ManualRefreshBitBtnClick);
    connect(Manual.ManualEnginesListBox, &QListWidget::itemClicked, this, &TMainForm::ManualEnginesListBoxClick);
    connect(Manual.ManualHomeURLBitBtn, &QPushButton::clicked, this,
            [this] { m_platform.openInShell(Manual.ManualHomeURLEdit->text()); });
    connect(Manual.ManualAddURLBitBtn, &QPushButton::clicked, this,
            [this] { m_platform.openInShell(Manual.ManualAddURLEdit->text()); });
    AdvancedEngineForm = new TAdvancedEngineForm(&ExciteLanguage, &ExciteLocation, &ExciteCategory, this);
    AdvancedEngineForm->setWindowIcon(LoadIcon(BaseDir, Quillcast::IconFile));
}

void TMainForm::ProcessEngines(int mode)
{
    ClearAnswerBuffer();
    switch (mode) {
    case 1:
        SubmitEngines();
        break;
    case 2:
        LoadEngineCheckList();
        break;
    case 3:
        SearchEngines();
        break;
    default:
        break;
    }
}

void TMainForm::LoadEngineCheckList()
{
    // The check list keeps its engines sorted without regard to letter case; the
    // URL table has columns for thirty of them, so the list holds thirty at most.
    QStringList names = engineListSections(AutoListPath);
    std::stable_sort(names.begin(), names.end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    if (names.size() > MaxEngines) {
        AddStatusLine(QStringLiteral("The engine list names %1 engines; only the first %2 are listed.")
                          .arg(names.size())
                          .arg(MaxEngines),
                      1);
        names = names.mid(0, MaxEngines);
    }
    EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    engines->setEngines(names);
    EngineCount = engines->count();
    for (int i = 0; i < MaxEngines; ++i)
        EngineTable[size_t(i)] = {};
    for (int i = 0; i < EngineCount; ++i) {
        const QString name = engines->text(i);
        ReadEngineSection(name);
        EngineTable[size_t(i)] = {name, engineColumn(CurrentSection)};
    }
}

void TMainForm::ReadEngineSection(const QString &name)
{
    CurrentSection = readEngineSection(AutoListPath, name);
    SetMemoLines(Hidden.HiddenNameMemo, CurrentSection.names);
    SetMemoLines(Hidden.HiddenValueMemo, CurrentSection.valueLines);
}

void TMainForm::ClearEngineSection()
{
    CurrentSection = {};
    Hidden.HiddenNameMemo->clear();
    Hidden.HiddenValueMemo->clear();
}

void TMainForm::LoadManualEngineList()
{
    Manual.ManualEnginesListBox->clear();
    Manual.ManualEnginesListBox->addItems(engineListSections(ManualListPath));
    for (QLineEdit *edit : {Manual.ManualEngineNameEdit, Manual.ManualHomeURLEdit, Manual.ManualAddURLEdit,
                            Manual.ManualEngineModeEdit, Manual.ManualResponseTimeEdit})
        edit->clear();
    for (QPlainTextEdit *memo : {Manual.ManualLikesMemo, Manual.ManualDisLikesMemo, Manual.ManualCommentsMemo})
        memo->clear();
}

bool TMainForm::DownloadFile(const QString &url, const QString &path)
{
    // The answer goes to a file beside the list and replaces the list only when
    // the exchange succeeded, so an error page or a broken transfer never
    // destroys the list the program has.
    const QString partial = path + QStringLiteral(".download");
    QFile::remove(partial);
    // A server that never finishes must not hold the program (or an unattended
    // run) for ever: the download gets the project's timeout.
    bool interrupted = false;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, this, [this, &interrupted] {
        interrupted = true;
        m_http->setAction(httpIdle);
    });
    limit.start(qMax(TimeoutSeconds, 5) * 1000);
    bool succeeded = false;
    try {
        m_http->setURL(url.toUtf8());
        m_http->setLocalFile(partial);
        m_http->setAction(httpGet);
        succeeded = !interrupted;
    } catch (const std::exception &) {
        // A failed download is not reported: the run goes on with the local list.
    }
    limit.stop();
    QApplication::processEvents();
    if (succeeded && QFile::exists(partial)) {
        QFile::remove(path);
        succeeded = QFile::rename(partial, path);
    } else {
        succeeded = false;
    }
    QFile::remove(partial);
    return succeeded;
}

void TMainForm::DownloadEngineLists()
{
    AddStatusLine(QStringLiteral("Downloading search engine configuration"), 6);
    DownloadFile(AutoListURL, AutoListPath);
    DownloadFile(ManualListURL, ManualListPath);
    m_http->setLocalFile(QString());
    m_http->setURL(QByteArray());
}

void TMainForm::SettingsEnableAllSearchEnginesBitBtnClick()
{
    MarkModified();
    // Disabled items too; the Excite rule applies again at the next pass.
    EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    for (int i = 0; i < engines->count(); ++i)
        engines->setChecked(i, true);
}

void TMainForm::SettingsDisableAllSearchEnginesBitBtnClick()
{
    MarkModified();
    EngineCheckList *engines = Settings.SettingsSearchEnginesCheckList;
    for (int i = 0; i < engines->count(); ++i)
        engines->setChecked(i, false);
}

void TMainForm::SettingsEngineAdvancedBitBtnClick()
{
    m_platform.execDialog(*AdvancedEngineForm);
    // OK or Cancel, the project counts as changed.
    MarkModified();
}

void TMainForm::ManualEnginesListBoxClick()
{
    const QListWidgetItem *item = Manual.ManualEnginesListBox->currentItem();
    if (!item)
        return;
    const QString name = item->text();
    Manual.ManualEngineNameEdit->setText(name);
    const ManualEngine engine = readManualEngine(ManualListPath, name);
    Manual.ManualHomeURLEdit->setText(engine.homeURL);
    Manual.ManualAddURLEdit->setText(engine.addURL);
    Manual.ManualEngineModeEdit->setText(engine.automaticSubmit);
    Manual.ManualResponseTimeEdit->setText(engine.responseTime);
    const std::pair<QPlainTextEdit *, QString> memos[] = {{Manual.ManualLikesMemo, engine.likes},
                                                          {Manual.ManualDisLikesMemo, engine.dislikes},
                                                          {Manual.ManualCommentsMemo, engine.comments}};
    for (const auto &[memo, text] : memos) {
        memo->setPlainText(text);
        memo->moveCursor(QTextCursor::Start);
        memo->ensureCursorVisible();
    }
    MarkModified();
}

void TMainForm::ManualRefreshBitBtnClick()
{
    SetBusyCursor(1);
    try {
        DownloadEngineLists();
        LoadProjectSettings();
        ProcessEngines(2);
        LoadManualEngineList();
        // Reloading the list cleared the checks; the project file has them.
        LoadProjectSettings();
        MarkModified();
    } catch (const std::exception &failure) {
        SetBusyCursor(0);
        showFailure(failure);
        return;
    }
    SetBusyCursor(0);
    m_platform.messageBox(this, QStringLiteral("Search Engine list is now updated"), QStringLiteral("Finished"),
                          Platform::Ok);
}
