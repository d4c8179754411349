#pragma once

#include <QString>
#include <functional>

class THTTPClient;

// What the check of one IndexNow key file found.
struct KeyFileCheck
{
    QString problem;         // "" when the final answer is a 200 holding the key; otherwise what really happened:
                             // the status line, the redirect problem, the network error's text, or "the file does not
                             // hold the key"; "no answer within N s" only when the timeout really passed
    QString finalUrl;        // where the answer came from after redirects ("" when no answer came)
    bool redirected() const; // finalUrl differs from the location asked for

    QString location; // the location asked for
};

// Fetches location (https://host/<key>.txt) following up to 5 redirects and checks that the answer holds key.
// A key file starting with a UTF-8 byte-order mark, or ending in blanks or a line end, holds its key.
// stopRequested, when given, is polled while waiting: a stop ends the check at once (problem "stopped").
// The client's properties are restored before it returns; it never throws ENetCore.
KeyFileCheck CheckIndexNowKeyFile(THTTPClient &http, const QString &location, const QString &key, int timeoutSeconds,
                                  const std::function<bool()> &stopRequested = {});
