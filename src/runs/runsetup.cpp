#include "runs/runsetup.h"

#include "project/session/profilefile.h"
#include "project/session/projectsession.h"
#include "project/session/settingskeys.h"
#include "runs/commandline.h"

RunSetup MakeRunSetup(const ProjectSession &session, const EngineCatalogue &engines, const StartupFlags &flags,
                      const JobIdentity &identity)
{
    RunSetup setup;
    setup.settings = session.settings();
    setup.engines = engines;
    setup.projectFile = session.file();
    setup.projectDir = session.directory();
    setup.reportPath = session.reportPath();
    setup.autoListPath = session.autoListPath();
    setup.manualListPath = session.manualListPath();
    setup.autoListUrl = setup.settings.autoListUrl(identity.defaultAutoListUrl);
    setup.manualListUrl = setup.settings.manualListUrl(identity.defaultManualListUrl);
    setup.debug = flags.DebugMode;
    setup.checkPages = setup.settings.checkPages || flags.CheckFlag;
    if (flags.TestMode) {
        const SettingsKeys::Key &server = SettingsKeys::TestServer;
        setup.testServer = ProfileFile(session.appIniPath())
                               .readString(QLatin1String(server.section), QLatin1String(server.key),
                                           QLatin1String(server.defaultValue));
    }
    setup.report.HomePageURL = identity.homePageUrl;
    setup.report.ReportImageFile = identity.reportImageFile;
    setup.report.AppTitle = identity.appTitle;
    return setup;
}
