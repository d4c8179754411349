// The engine commands of the main window: loading the engine lists into the
// check list, the engine table and the manual page, downloading them, choosing
// engines and the Excite settings.

#include "app/constants.h"
#include "app/mainform.h"
#include "app/memolines.h"
#include "app/pictures.h"
#include "app/platform.h"
#include "engines/enginelist.h"
#include "engines/enginelistdownload.h"
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
#include <tuple>

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

void TMainForm::LoadEngineCheckList()
{
    m_engines = EngineCatalogue::load(AutoListPath);
    if (m_engines.isCut())
        AddStatusLine(QStringLiteral("The engine list names %1 engines; only the first %2 are listed.")
                          .arg(m_engines.listedCount())
                          .arg(MaxEngines),
                      1);
    Settings.SettingsSearchEnginesCheckList->setEngines(m_engines.names());
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

QStringList TMainForm::DownloadEngineLists()
{
    AddStatusLine(QStringLiteral("Downloading search engine configuration"), 6);
    const int timeout = currentSettings().timeoutSeconds();
    QStringList problems;
    bool replaced = false;
    for (const auto &[url, path, automatic] : {std::tuple{AutoListURL, AutoListPath, true},
                                               std::tuple{ManualListURL, ManualListPath, false}}) {
        const ListDownload download = DownloadEngineList(*m_http, url, path, timeout, automatic);
        replaced = replaced || download.replaced();
        if (!download.replaced()) {
            problems << url + QStringLiteral(": ") + download.reason;
            AddStatusLine(QStringLiteral("Engine list not updated from ") + url + QStringLiteral(": ") +
                              download.reason + QStringLiteral("; the local list is kept."),
                          0);
        }
    }
    return replaced ? QStringList() : problems;
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
    QStringList problems;
    try {
        // The lists are reloaded, not the project: what the user typed stays.
        const ProjectSettings edited = currentSettings();
        const bool modified = Modified;
        problems = DownloadEngineLists();
        LoadEngineCheckList();
        LoadManualEngineList();
        showSettings(edited);
        Modified = modified;
        RefreshControls();
    } catch (const std::exception &failure) {
        SetBusyCursor(0);
        showFailure(failure);
        return;
    }
    SetBusyCursor(0);
    if (problems.isEmpty())
        m_platform.messageBox(this, QStringLiteral("Search Engine list is now updated"), QStringLiteral("Finished"),
                              Platform::Ok);
    else
        m_platform.messageBox(this,
                              QStringLiteral("The engine lists could not be updated; the lists you have are kept.\n") +
                                  problems.join(QLatin1Char('\n')),
                              QStringLiteral("Engine lists not updated"), Platform::Ok, Platform::Icon::Error);
}
