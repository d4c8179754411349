#pragma once

#include "engines/enginelistdownload.h"

#include <QString>
#include <QStringList>

class THTTPClient;

// Where the two engine lists come from and where they live.
struct EngineListSources
{
    QString automaticUrl;
    QString automaticPath;
    QString manualUrl;
    QString manualPath;
};

// What one refresh of the engine lists did.
struct EngineListRefresh
{
    ListDownload automatic;
    ListDownload manual;
    // The built-in automatic list was written: the base directory had none and
    // none could be downloaded.
    bool builtInWritten = false;

    bool anyReplaced() const { return automatic.replaced() || manual.replaced(); }
    // For each list not replaced, in the order automatic, manual:
    // "<url>: <reason>".
    QStringList problems(const EngineListSources &sources) const;
};

// Downloads both engine lists (DownloadEngineList(): a list is replaced only by
// a list of its kind), then writes the built-in lists where the base directory
// has no list of a kind (BuiltInLists::writeWhereMissing()). Never throws for
// the network; reports nothing itself: the caller tells the user.
EngineListRefresh RefreshEngineLists(THTTPClient &http, const EngineListSources &sources, int timeoutSeconds);
