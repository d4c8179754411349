#include "app/windowrunsetup.h"

#include "app/constants.h"
#include "project/profilefile.h"
#include "project/projectsession.h"
#include "project/settingskeys.h"
#include "runs/commandline.h"

using namespace Quillcast;

RunSetup WindowRunSetup(const ProjectSession &session, const EngineCatalogue &engines, const StartupFlags &flags)
{
    RunSetup setup;
    setup.settings = session.settings();
    setup.engines = engines;
    setup.projectFile = session.file();
    setup.projectDir = session.directory();
    setup.reportPath = session.reportPath();
    setup.autoListPath = session.autoListPath();
    setup.manualListPath = session.manualListPath();
    setup.autoListUrl = setup.settings.autoListUrl(DefaultAutoListURL);
    setup.manualListUrl = setup.settings.manualListUrl(DefaultManualListURL);
    setup.debug = flags.DebugMode;
    if (flags.TestMode) {
        const SettingsKeys::Key &server = SettingsKeys::TestServer;
        setup.testServer = ProfileFile(session.appIniPath())
                               .readString(QLatin1String(server.section), QLatin1String(server.key),
                                           QLatin1String(server.defaultValue));
    }
    setup.report.HomePageURL = HomePageURL;
    setup.report.ReportImageFile = ReportImageFile;
    setup.report.AppTitle = AppTitle;
    return setup;
}
