#include "runs/runservices.h"

#include "net/httpclient.h"
#include "runs/runcontrol.h"
#include "runs/searchrun.h"
#include "runs/submissionrun.h"

RunServices::RunServices(const QByteArray &userAgent) : m_http(std::make_unique<THTTPClient>())
{
    m_http->setSocketLayerLoaded(true);
    m_http->setUserAgent(userAgent);
    m_control = std::make_unique<RunControl>(*m_http);
}

RunServices::~RunServices() = default;

std::unique_ptr<Run> RunServices::submissionRun(const RunSetup &setup, UrlTable &table, RunObserver &observer) const
{
    return std::make_unique<SubmissionRun>(setup, table, *m_http, *m_control, observer);
}

std::unique_ptr<Run> RunServices::searchRun(const RunSetup &setup, UrlTable &table, RunObserver &observer) const
{
    return std::make_unique<SearchRun>(setup, table, *m_http, *m_control, observer);
}

SitemapImportResult RunServices::importSitemaps(UrlTable &table, int projectId, const QStringList &fileOrUrls,
                                                const QString &baseDirectory, int timeoutSeconds) const
{
    SitemapImport import(*m_http, baseDirectory, timeoutSeconds);
    return import.importInto(table, projectId, fileOrUrls);
}

EngineListRefresh RunServices::refreshEngineLists(const EngineListSources &sources, int timeoutSeconds) const
{
    return RefreshEngineLists(*m_http, sources, timeoutSeconds);
}
