#pragma once

#include "engines/enginelistrefresh.h"
#include "runs/sitemapimport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class RunControl;
class RunObserver;
class Run;
class THTTPClient;
class UrlTable;
struct RunSetup;

// The program's network side as the window sees it: the one HTTP client, the
// run control that interrupts its requests, and the jobs that use the client
// (a run, a sitemap import, an engine list refresh). The window owns one and
// asks it for network work without knowing the client; Skip and Stop go to
// control(), which reaches whatever job is in progress.
class RunServices
{
public:
    // The client sends userAgent with every request.
    explicit RunServices(const QByteArray &userAgent);
    ~RunServices();
    RunServices(const RunServices &) = delete;
    RunServices &operator=(const RunServices &) = delete;

    RunControl &control() const { return *m_control; }

    // A submission run or a search run over the project's table, reporting to
    // observer; the caller runs it. Neither may outlive this object.
    std::unique_ptr<Run> submissionRun(const RunSetup &setup, UrlTable &table, RunObserver &observer) const;
    std::unique_ptr<Run> searchRun(const RunSetup &setup, UrlTable &table, RunObserver &observer) const;

    // SitemapImport::importInto() with the client: the same result, the same throws.
    SitemapImportResult importSitemaps(UrlTable &table, int projectId, const QStringList &fileOrUrls,
                                       const QString &baseDirectory, int timeoutSeconds) const;

    // RefreshEngineLists() with the client: the same result.
    EngineListRefresh refreshEngineLists(const EngineListSources &sources, int timeoutSeconds) const;

private:
    std::unique_ptr<THTTPClient> m_http;
    // Declared after the client: it holds the client and goes first.
    std::unique_ptr<RunControl> m_control;
};
