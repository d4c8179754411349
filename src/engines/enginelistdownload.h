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
// for the whole download, and one that sends more than MaxEngineListBytes at
// once. A list that replaces the local one is first noted as
// downloaded (see isDownloadedEngineList()); when the note cannot be written,
// the list is not replaced. The reason of a failure is net::Fetch's text (the
// status line, the redirect problem, the network error, the timeout). The
// client's properties and events are left as they were.
// No engine list comes near this; a server that sends more is not sending one.
inline constexpr qint64 MaxEngineListBytes = 1024 * 1024;

ListDownload DownloadEngineList(THTTPClient &http, const QString &url, const QString &path, int timeoutSeconds,
                                bool automatic);

// True when the list at path is, byte for byte, one that DownloadEngineList()
// wrote: its addresses are the publisher's, not the owner's. A list the owner
// wrote or edited, or the program's built-in one, is not. The note is a file
// beside the list (path + ".downloaded") holding the SHA-256 of what the last
// download wrote, and of the list it replaced when that too was downloaded, so
// that a rename that fails keeps the old list known for what it is.
bool isDownloadedEngineList(const QString &path);
