#pragma once

#include <QString>

class THTTPClient;

// What became of one engine list download.
struct ListDownload
{
    enum class Result {
        Replaced, // the local list is the downloaded one now
        Failed,   // nothing usable came: the local list is kept
        NotAList, // an answer came, but it is no engine list: the local list is kept
    };
    Result result = Result::Failed;
    QString reason; // Failed and NotAList: why, in a few words

    bool replaced() const { return result == Result::Replaced; }
};

// Fetches an engine list into its local file. The answer goes to a file beside
// the list and replaces the list only when the exchange succeeded and the
// answer is an engine list of the kind wanted (automatic: at least one section
// with the ten keys in order; manual: a section with a QC_ key), so an error
// page, an HTML page served with status 200 or a broken transfer never destroys
// the list the program has. Redirects are followed (net::Fetch's rule); a
// server that never finishes is given up after timeoutSeconds (at least five)
// for the whole download. The reason of a failure is net::Fetch's text (the
// status line, the redirect problem, the network error, the timeout). The
// client's properties and events are left as they were.
ListDownload DownloadEngineList(THTTPClient &http, const QString &url, const QString &path, int timeoutSeconds,
                                bool automatic);
