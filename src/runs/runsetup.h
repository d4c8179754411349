#pragma once

#include "engines/enginecatalogue.h"
#include "project/session/projectsettings.h"
#include "runs/report.h"
#include "webmaster/quotapacer.h"

#include <QString>
#include <functional>

class ProjectSession;
struct StartupFlags;

// The program's fixed names and addresses that a run's requests and report carry.
struct JobIdentity
{
    QString appTitle;        // the user agent, the report's title, the prefix of a failure's message
    QString homePageUrl;     // the report's logo link
    QString reportImageFile; // the report's logo, written into the base directory when missing
    QString defaultAutoListUrl;
    QString defaultManualListUrl;
};

// Everything a run reads besides the URL table: the project's settings as they
// stand when the run starts, the engines on offer, where its files go and how
// it runs.
struct RunSetup
{
    ProjectSettings settings;
    EngineCatalogue engines;
    QString projectFile; // named in the report
    QString projectDir;  // the report, the saved answers and the search logs
    QString reportPath;
    QString autoListPath; // each engine's section is read from here when its turn comes
    QString manualListPath;
    QString autoListUrl; // where the lists are downloaded from when the project asks for it
    QString manualListUrl;
    bool debug = false;
    // Test mode: every request goes to this server's form-echo endpoints
    // instead of the engines ("" outside test mode).
    QString testServer;
    ReportContext report; // the report's fixed values: home page, logo, title
    // The submission run checks every page first (the project's [Checks] Pages,
    // or "/check"): it sends only what changed and may be indexed, and announces
    // the pages that went away.
    bool checkPages = false;

    // Search Console's pace: its inspections a minute and a day (Google's quota), and the
    // clock they are counted by, in milliseconds since the epoch (the system's when empty).
    // Tests set a clock of their own and smaller numbers.
    struct WebmasterPace
    {
        int inspectionsPerMinute = webmaster::QuotaPacer::InspectionsPerMinute;
        int inspectionsPerDay = webmaster::QuotaPacer::InspectionsPerDay;
        std::function<qint64()> clockMs = {};
    };
    WebmasterPace pace;

    // The timeout of one request in seconds: the project's, or 15 when it gives none.
    int timeoutSeconds() const
    {
        const int seconds = settings.timeoutSeconds();
        return seconds > 0 ? seconds : 15;
    }
};

// What a run of the open project reads, for the window and the unattended job
// alike: the session's settings value, files and directory, the engines on
// offer, the flags' debug and test modes (the test server comes from the
// application ini) and the program's fixed names.
RunSetup MakeRunSetup(const ProjectSession &session, const EngineCatalogue &engines, const StartupFlags &flags,
                      const JobIdentity &identity);
