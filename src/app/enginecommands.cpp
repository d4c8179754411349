#include "app/enginecommands.h"

#include "app/constants.h"
#include "app/manualpage.h"
#include "app/pictures.h"
#include "app/settingsbinding.h"
#include "app/settingspage.h"
#include "engines/enginelist.h"
#include "engines/ui/advancedengineform.h"
#include "platform/platform.h"
#include "project/session/projectsession.h"
#include "runs/runservices.h"
#include "runs/ui/statuslog.h"

using namespace Quillcast;

EngineCommands::EngineCommands(Platform &platform, QWidget *parent, ProjectSession &session, SettingsBinding &binding,
                               const RunServices &services, SettingsPage &settingsPage, ManualPage &manualPage,
                               StatusLog &log)
    : QObject(parent), m_platform(platform), m_parent(parent), m_session(session), m_binding(binding),
      m_services(services), m_settingsPage(settingsPage), m_manualPage(manualPage), m_log(log),
      m_exciteForm(new TAdvancedEngineForm(parent))
{
    m_exciteForm->setWindowIcon(LoadIcon(session.baseDir(), IconFile));
    connect(&m_settingsPage, &SettingsPage::enableAllEnginesClicked, this, &EngineCommands::enableAllEngines);
    connect(&m_settingsPage, &SettingsPage::disableAllEnginesClicked, this, &EngineCommands::disableAllEngines);
    connect(&m_settingsPage, &SettingsPage::advancedClicked, this, &EngineCommands::editExciteSettings);
    connect(&m_settingsPage, &SettingsPage::downloadClicked, this, &EngineCommands::downloadLists);
    connect(&m_manualPage, &ManualPage::refreshClicked, this, &EngineCommands::downloadLists);
    connect(&m_manualPage, &ManualPage::engineClicked, this, &EngineCommands::showManualEngine);
    connect(&m_manualPage, &ManualPage::openRequested, this,
            [this](const QString &address) { m_platform.openInShell(address); });
}

void EngineCommands::loadEngineList()
{
    m_session.loadEngines();
    showEngineList();
}

void EngineCommands::showEngineList()
{
    const EngineCatalogue &engines = m_session.engines();
    if (engines.isCut())
        m_log.AddStatusLine(QStringLiteral("The engine list names %1 engines; only the first %2 are listed.")
                                .arg(engines.listedCount())
                                .arg(EngineCatalogue::MaxEngines),
                            StatusKind::Heading);
    m_settingsPage.setEngines(engines.names());
}

void EngineCommands::loadManualList()
{
    m_manualPage.setEngines(engineListSections(m_session.manualListPath()));
}

QStringList EngineCommands::fetchLists()
{
    m_log.AddStatusLine(QStringLiteral("Downloading search engine configuration"), StatusKind::Phase);
    const ProjectSettings &settings = m_session.settings();
    const EngineListSources sources{settings.autoListUrl(DefaultAutoListURL), m_session.autoListPath(),
                                    settings.manualListUrl(DefaultManualListURL), m_session.manualListPath()};
    const EngineListRefresh refresh = m_services.refreshEngineLists(sources, settings.timeoutSeconds());
    QStringList problems = refresh.problems(sources);
    for (const QString &problem : problems)
        m_log.AddStatusLine(QStringLiteral("Engine list not updated from ") + problem +
                                QStringLiteral("; the local list is kept."),
                            StatusKind::Plain);
    if (refresh.builtInWritten) {
        problems << QStringLiteral("the built-in engine lists are written to the base directory and used");
        m_log.AddStatusLine(problems.last(), StatusKind::Plain);
    }
    return refresh.anyReplaced() ? QStringList() : problems;
}

void EngineCommands::followRun(const EngineCatalogue &engines)
{
    if (engines.sameColumns(m_session.engines()))
        return;
    loadEngineList();
    m_binding.showChosenEngines();
    emit changed();
}

void EngineCommands::downloadLists()
{
    emit busy(true);
    QStringList problems;
    try {
        problems = fetchLists();
        loadEngineList();
        loadManualList();
        // The lists are reloaded, not the project: what the user typed stays.
        m_binding.showChosenEngines();
        emit changed();
    } catch (const std::exception &failure) {
        emit busy(false);
        m_platform.showError(m_parent, QString::fromUtf8(failure.what()));
        return;
    }
    emit busy(false);
    if (problems.isEmpty()) {
        m_platform.messageBox(m_parent, QStringLiteral("Search Engine list is now updated"), QStringLiteral("Finished"),
                              Platform::Ok);
        return;
    }
    const bool builtIn = problems.last().startsWith(QLatin1String("the built-in"));
    m_platform.messageBox(m_parent,
                          QStringLiteral("The engine lists could not be updated") +
                              (builtIn ? QStringLiteral(".\n") : QStringLiteral("; the lists you have are kept.\n")) +
                              problems.join(QLatin1Char('\n')),
                          QStringLiteral("Engine lists not updated"), Platform::Ok, Platform::Icon::Error);
}

void EngineCommands::enableAllEngines()
{
    emit edited();
    m_settingsPage.setAllEnginesChecked(true);
}

void EngineCommands::disableAllEngines()
{
    emit edited();
    m_settingsPage.setAllEnginesChecked(false);
}

void EngineCommands::editExciteSettings()
{
    ProjectSettings settings = m_session.settings();
    m_exciteForm->setValues({settings.exciteLanguage, settings.exciteLocation, settings.exciteCategory});
    m_platform.execDialog(*m_exciteForm);
    emit dialogClosed();
    if (const std::optional<ExciteValues> &chosen = m_exciteForm->chosen()) {
        settings = m_session.settings();
        settings.exciteLanguage = chosen->language;
        settings.exciteLocation = chosen->location;
        settings.exciteCategory = chosen->category;
        m_session.setSettings(settings);
    }
    emit edited();
}

void EngineCommands::showManualEngine()
{
    const QString name = m_manualPage.currentEngine();
    if (name.isEmpty())
        return;
    m_manualPage.showEngine(name, readManualEngine(m_session.manualListPath(), name));
    emit edited();
}
