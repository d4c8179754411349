#pragma once

#include <QByteArray>
#include <QString>

// How a status line looks in the status log.
enum class StatusKind : int {
    Plain = 0,   // black: outcomes of single URLs, diagnostics
    Heading = 1, // red bold: an engine begins, a run ends
    Failure = 3, // red bold underlined: a request or a file failed
    Event = 4,   // green: connection events (debug mode)
    Url = 5,     // blue: the URL being sent
    Phase = 6,   // black bold: the phases of a run
};

// Whoever watches a run: the window, a test, the unattended program. Every
// call comes on the thread of the run, from inside the run; none may start
// another run. Only statusLine() must be implemented.
class RunObserver
{
public:
    virtual ~RunObserver() = default;

    virtual void statusLine(const QString &text, StatusKind kind) = 0;
    // A piece of HTML the run wrote to its report.
    virtual void reportWritten(const QString &html) { Q_UNUSED(html); }
    // The current request's progress, 0 to 100.
    virtual void requestProgress(int percent) { Q_UNUSED(percent); }
    // URL-and-engine steps done of all the run's steps.
    virtual void runProgress(int done, int total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
    }
    // Seconds the current request has waited, of the seconds it may wait.
    virtual void timeoutTick(int seconds, int limit)
    {
        Q_UNUSED(seconds);
        Q_UNUSED(limit);
    }
    // Debug mode only: a piece of the current answer for display (headers as
    // "Field: " and "Value: " lines, then the body). At most answerShownLimit
    // bytes of one answer arrive here; answerCleared() starts the next answer.
    virtual void answerShown(const QString &piece) { Q_UNUSED(piece); }
    virtual void answerCleared() {}
    // Debug mode only: the search's view of an answer, shown to the user at once.
    virtual void searchAnswerShown(const QString &answer) { Q_UNUSED(answer); }
    // The run could not start: a sender field that a chosen engine's form uses
    // is empty. field names the first such: "First Name", "Last Name" or "Email"
    // (the middle initial is never required). Nothing was deleted or sent.
    virtual void senderMissing(const QString &field) { Q_UNUSED(field); }
    // The run could not create its report.
    virtual void reportNotCreated() {}
    // The run stopped before its next request because a file it must write
    // (the URL table, the report) cannot be written; text names the file and
    // the system's reason. Nothing more was sent after it.
    virtual void runFailed(const QString &text) { Q_UNUSED(text); }
    // The run has no engine list to work with (none at path, and none could be downloaded).
    virtual void engineListMissing(const QString &path) { Q_UNUSED(path); }
    // The project chooses none of the engine list's engines: the run has nothing to do.
    virtual void nothingChosen() {}
    // The run is now in progress, or over.
    virtual void runStateChanged(bool inProgress) { Q_UNUSED(inProgress); }

    static constexpr int answerShownLimit = 64 * 1024;
};
