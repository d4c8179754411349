#pragma once

#include "runs/runsetup.h"

#include "project/session/projectsession.h"
#include "runs/commandline.h"
#include "runs/commandlinesteps.h"
#include "runs/enginetally.h"
#include "runs/runobserver.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class BaseLock;
class RunServices;
struct RunRefusal;
struct RunSetup;

// The unattended program: the steps of the command line (open the project,
// import its URL list or sitemaps, make and write its IndexNow key, submit,
// search) on the core (CommandLineSteps), without a window, under a
// QCoreApplication. The base directory is locked through all the steps when
// there is any. What a window would show in a box goes to standard error as
// "caption: text"; lines of input
// passed over and a lock held by another program as "quillcast: text"; with
// /debug, every status line of the runs; and unless all went well, the summary
// of the runs (RunSummary()).
class UnattendedJob : private RunObserver, private CommandLineSteps::Host
{
public:
    // Receives every byte the job writes for its user; standard error by default.
    using Writer = std::function<void(const QByteArray &bytes)>;

    // baseDir is where the program works; flags as ParseCommandLine() gave them,
    // without usage errors (those end the program before a job is made).
    UnattendedJob(const QString &baseDir, const StartupFlags &flags, const JobIdentity &identity, Writer writer = {});
    ~UnattendedJob() override;
    UnattendedJob(const UnattendedJob &) = delete;
    UnattendedJob &operator=(const UnattendedJob &) = delete;

    // Runs the steps and returns the program's exit status: 0 when every step
    // ran and every request was answered, 1 when a step could not run (the URL
    // table cannot be opened, the base directory is locked, the project cannot
    // be opened, an import or a key step failed, a run refused to start or
    // could not write its files), 3 when a run finished with failed or timed-out
    // requests, an IndexNow key not published, a broken engine list section,
    // pages that could not be checked, a chosen engine that no list holds, or
    // URLs that have waited for an engine's quota for more than a week
    // (Run::faults()). (2, a wrong command line, ends the program before a job
    // is made.) Run once.
    int run();

private:
    enum ExitStatus { Success = 0, StepFailed = 1, RequestsFailed = 3 };

    int steps();
    void runOnce(bool search);

    // The steps' host: a box nobody can answer goes to standard error, and the
    // base directory is held from the first step that writes to the last.
    void tell(const QString &caption, const QString &text, CommandLineSteps::Tone tone) override;
    void failed(const std::exception &failure) override;
    void imported(const QStringList &skipped, const QString &doneLine) override;
    bool hold() override;
    void release() override;
    bool runStep(bool search) override;

    RunSetup runSetup() const;

    // A box nobody can answer: its caption and text on standard error.
    void tellBox(const QString &caption, const QString &text);
    // A line for whoever runs the program; a line break is added unless text ends with one.
    void report(const QString &text);
    // A failure a step did not expect, told as the window's error box tells it.
    void tellFailure(const std::exception &failure);
    void stepFailed(const QString &caption, const QString &text);
    void stepFailed(const RunRefusal &refusal);

    // The run's observer: the status lines are the window's; what it would show
    // in a box is told.
    void statusLine(const QString &text, StatusKind kind) override;
    void searchAnswerShown(const QString &answer) override;
    void senderMissing(const QString &field) override;
    void runFailed(const QString &text) override;
    void reportNotCreated() override;
    void engineListMissing(const QString &path) override;
    void nothingChosen() override;

    StartupFlags m_flags;
    JobIdentity m_identity;
    Writer m_writer;
    ProjectSession m_session;
    std::unique_ptr<RunServices> m_services;
    std::unique_ptr<BaseLock> m_lock;
    QList<EngineTally> m_lastTally; // the last run's; a run that threw leaves the one before
    QList<EngineTally> m_submitTally;
    QList<EngineTally> m_searchTally;
    QStringList m_runNotices;  // what the runs could not do, for the summary
    bool m_stepFailed = false; // a step could not run: the job ends with status 1
    bool m_runFaulted = false; // a run found something wrong besides its requests: status 3
};
