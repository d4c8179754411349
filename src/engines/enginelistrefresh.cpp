#include "engines/enginelistrefresh.h"

#include "engines/builtinlists.h"

QStringList EngineListRefresh::problems(const EngineListSources &sources) const
{
    QStringList lines;
    if (!automatic.replaced())
        lines << sources.automaticUrl + QStringLiteral(": ") + automatic.reason;
    if (!manual.replaced())
        lines << sources.manualUrl + QStringLiteral(": ") + manual.reason;
    return lines;
}

EngineListRefresh RefreshEngineLists(THTTPClient &http, const EngineListSources &sources, int timeoutSeconds)
{
    EngineListRefresh refresh;
    refresh.automatic = DownloadEngineList(http, sources.automaticUrl, sources.automaticPath, timeoutSeconds, true);
    refresh.manual = DownloadEngineList(http, sources.manualUrl, sources.manualPath, timeoutSeconds, false);
    // A directory without any list gets the program's own: engines that exist.
    refresh.builtInWritten = BuiltInLists::writeWhereMissing(sources.automaticPath, sources.manualPath);
    return refresh;
}
