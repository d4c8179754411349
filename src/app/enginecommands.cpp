// The engine commands of the main window: loading the engine lists into the
// check list, the engine table and the manual page, downloading them, choosing
// engines and the Excite settings.

#include "app/constants.h"
#include "app/mainform.h"
#include "app/manualpage.h"
#include "app/pictures.h"
#include "app/settingspage.h"
#include "engines/enginelist.h"
#include "engines/ui/advancedengineform.h"
#include "platform/platform.h"
#include "runs/runservices.h"

using namespace Quillcast;

void TMainForm::connectEngineControls()
{
    connect(m_settingsPage, &SettingsPage::enableAllEnginesClicked, this,
            &TMainForm::SettingsEnableAllSearchEnginesBitBtnClick);
    connect(m_settingsPage, &SettingsPage::disableAllEnginesClicked, this,
            &TMainForm::SettingsDisableAllSearchEnginesBitBtnClick);
    connect(m_settingsPage, &SettingsPage::advancedClicked, this, &TMainForm::SettingsEngineAdvancedBitBtnClick);
    connect(m_settingsPage, &SettingsPage::downloadClicked, this, &TMainForm::ManualRefreshBitBtnClick);
    connect(m_manualPage, &ManualPage::refreshClicked, this, &TMainForm::ManualRefreshBitBtnClick);
    connect(m_manualPage, &ManualPage::engineClicked, this, &TMainForm::ManualEnginesListBoxClick);
    connect(m_manualPage, &ManualPage::openRequested, this,
            [this](const QString &address) { m_platform.openInShell(address); });
    AdvancedEngineForm = new TAdvancedEngineForm(this);
    AdvancedEngineForm->setWindowIcon(LoadIcon(BaseDir, IconFile));
}

void TMainForm::LoadEngineCheckList()
{
    m_engines = EngineCatalogue::load(AutoListPath);
    if (m_engines.isCut())
        AddStatusLine(QStringLiteral("The engine list names %1 engines; only the first %2 are listed.")
                          .arg(m_engines.listedCount())
                          .arg(MaxEngines),
                      StatusKind::Heading);
    m_settingsPage->setEngines(m_engines.names());
}

void TMainForm::LoadManualEngineList()
{
    m_manualPage->setEngines(engineListSections(ManualListPath));
}

QStringList TMainForm::DownloadEngineLists()
{
    AddStatusLine(QStringLiteral("Downloading search engine configuration"), StatusKind::Phase);
    const ProjectSettings settings = currentSettings();
    const EngineListSources sources{settings.autoListUrl(DefaultAutoListURL), AutoListPath,
                                    settings.manualListUrl(DefaultManualListURL), ManualListPath};
    const EngineListRefresh refresh = m_network->refreshEngineLists(sources, settings.timeoutSeconds());
    QStringList problems = refresh.problems(sources);
    for (const QString &problem : problems)
        AddStatusLine(QStringLiteral("Engine list not updated from ") + problem +
                          QStringLiteral("; the local list is kept."),
                      StatusKind::Plain);
    if (refresh.builtInWritten) {
        problems << QStringLiteral("the built-in engine lists are written to the base directory and used");
        AddStatusLine(problems.last(), StatusKind::Plain);
    }
    return refresh.anyReplaced() ? QStringList() : problems;
}

void TMainForm::SettingsEnableAllSearchEnginesBitBtnClick()
{
    MarkModified();
    // Disabled items too; the Excite rule applies again at the next pass.
    m_settingsPage->setAllEnginesChecked(true);
}

void TMainForm::SettingsDisableAllSearchEnginesBitBtnClick()
{
    MarkModified();
    m_settingsPage->setAllEnginesChecked(false);
}

void TMainForm::SettingsEngineAdvancedBitBtnClick()
{
    AdvancedEngineForm->setValues({ExciteLanguage, ExciteLocation, ExciteCategory});
    execReloadingDialog(*AdvancedEngineForm);
    if (const std::optional<ExciteValues> &chosen = AdvancedEngineForm->chosen()) {
        ExciteLanguage = chosen->language;
        ExciteLocation = chosen->location;
        ExciteCategory = chosen->category;
    }
    // OK or Cancel, the project counts as changed.
    MarkModified();
}

void TMainForm::ManualEnginesListBoxClick()
{
    const QString name = m_manualPage->currentEngine();
    if (name.isEmpty())
        return;
    m_manualPage->showEngine(name, readManualEngine(ManualListPath, name));
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
                              QStringLiteral("The engine lists could not be updated") +
                                  (problems.last().startsWith(QLatin1String("the built-in"))
                                       ? QStringLiteral(".\n")
                                       : QStringLiteral("; the lists you have are kept.\n")) +
                                  problems.join(QLatin1Char('\n')),
                              QStringLiteral("Engine lists not updated"), Platform::Ok, Platform::Icon::Error);
}
