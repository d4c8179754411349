#include "runs/unattendedjob.h"

#include "project/session/baselock.h"
#include "project/session/profilefile.h"
#include "project/session/settingskeys.h"
#include "project/store/urltable.h"
#include "runs/builtinpictures.h"
#include "runs/run.h"
#include "runs/runrefusal.h"
#include "runs/runservices.h"
#include "runs/runsetup.h"
#include "runs/runsummary.h"
#include "runs/urlimports.h"

#include <algorithm>
#include <cstdio>

namespace {

void writeToStandardError(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

UnattendedJob::UnattendedJob(const QString &baseDir, const StartupFlags &flags, const JobIdentity &identity,
                             Writer writer)
    : m_flags(flags), m_identity(identity), m_writer(writer ? std::move(writer) : Writer(writeToStandardError)),
      m_session(baseDir, EngineCatalogue::load),
      // The network side sends the program's title as the user agent.
      m_services(std::make_unique<RunServices>(m_identity.appTitle.toUtf8()))
{}

namespace {

// The headline says requests failed only when some did: pages that could not be
// checked, an unknown engine or a week-long wait need looking at, but no request failed.
bool requestsFailedOrTimedOut(const QList<EngineTally> &tally)
{
    return std::any_of(tally.cbegin(), tally.cend(),
                       [](const EngineTally &e) { return e.failed > 0 || e.timedOut > 0; });
}

} // namespace

UnattendedJob::~UnattendedJob() = default;

int UnattendedJob::run()
{
    if (m_flags.DebugMode)
        tellBox(QStringLiteral("All Parameters"), ParametersWithValues(m_flags));

    const int status = steps();
    if (status != Success) {
        QString headline = QStringLiteral("quillcast: a step could not run (see above)\n");
        if (status == RequestsFailed)
            headline = requestsFailedOrTimedOut(m_submitTally) || requestsFailedOrTimedOut(m_searchTally)
                           ? QStringLiteral("quillcast: the run finished, but some requests failed or timed out\n")
                           : QStringLiteral("quillcast: the run finished, but something needs looking at\n");
        report(headline + RunSummary(m_submitTally, m_searchTally, m_runNotices));
    }
    return status;
}

int UnattendedJob::steps()
{
    if (!CommandLineSteps(m_flags, m_session, *m_services, *this).run() || m_stepFailed)
        return StepFailed;
    return anyRequestFailed(m_submitTally) || anyRequestFailed(m_searchTally) || m_runFaulted ? RequestsFailed
                                                                                              : Success;
}

void UnattendedJob::tell(const QString &caption, const QString &text, CommandLineSteps::Tone)
{
    tellBox(caption, text);
}

void UnattendedJob::failed(const std::exception &failure)
{
    tellFailure(failure);
}

void UnattendedJob::imported(const QStringList &skipped, const QString &)
{
    for (const QString &text : skipped)
        report(QStringLiteral("quillcast: ") + text);
}

bool UnattendedJob::hold()
{
    m_lock = std::make_unique<BaseLock>(m_session.baseDir());
    const BaseLock::Outcome outcome = m_lock->tryAcquire();
    if (outcome == BaseLock::Outcome::Acquired)
        return true;
    const QString baseDir = m_session.baseDir();
    const QString process =
        m_lock->holderPid() > 0 ? QStringLiteral(" (process %1)").arg(m_lock->holderPid()) : QString();
    report(QStringLiteral("quillcast: ") +
           (outcome == BaseLock::Outcome::Held
                ? QStringLiteral("The directory %1 is in use by another Quillcast%2.").arg(baseDir, process)
                : QStringLiteral("The directory %1 cannot be locked for Quillcast: %2")
                      .arg(baseDir, m_lock->errorText())));
    m_lock.reset();
    return false;
}

void UnattendedJob::release()
{
    m_lock.reset();
}

bool UnattendedJob::runStep(bool search)
{
    m_session.table().setFilter(m_session.id());
    runOnce(search);
    (search ? m_searchTally : m_submitTally) = m_lastTally;
    return !m_stepFailed;
}

RunSetup UnattendedJob::runSetup() const
{
    return MakeRunSetup(m_session, m_session.engines(), m_flags, m_identity);
}

void UnattendedJob::runOnce(bool search)
{
    try {
        const RunSetup setup = runSetup();
        // The report shows the picture from the base directory.
        if (!search && setup.settings.statusLog)
            EnsurePictureFile(m_session.baseDir(), m_identity.reportImageFile);
        RunObserver &observer = *this;
        const std::unique_ptr<Run> run = search ? m_services->searchRun(setup, m_session.table(), observer)
                                                : m_services->submissionRun(setup, m_session.table(), observer);
        run->run();
        m_lastTally = run->tally();
        // The submission and the search both read the project's choice: a line is told once.
        for (const QStringList &lines : {run->notices(), run->faults()})
            for (const QString &line : lines)
                if (!m_runNotices.contains(line))
                    m_runNotices << line;
        m_runFaulted = m_runFaulted || !run->faults().isEmpty();
        // A run that could not write its files has said why through runFailed().
        if (!run->fatalError().isEmpty())
            m_stepFailed = true;
        // A run that downloaded or wrote a list works with the new one; so does the next run.
        if (!run->engines().sameColumns(m_session.engines()))
            m_session.loadEngines();
    } catch (const std::exception &failure) {
        tellFailure(failure);
    }
}

void UnattendedJob::tellBox(const QString &caption, const QString &text)
{
    m_writer((caption + QLatin1String(": ") + text + QLatin1Char('\n')).toLocal8Bit());
}

void UnattendedJob::report(const QString &text)
{
    m_writer((text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n')).toLocal8Bit());
}

void UnattendedJob::tellFailure(const std::exception &failure)
{
    tellBox(m_identity.appTitle, QString::fromUtf8(failure.what()));
}

void UnattendedJob::stepFailed(const QString &caption, const QString &text)
{
    m_stepFailed = true;
    tellBox(caption, text);
}

void UnattendedJob::stepFailed(const RunRefusal &refusal)
{
    stepFailed(refusal.caption, refusal.text);
}

void UnattendedJob::statusLine(const QString &text, StatusKind)
{
    // With /debug, the lines the window's status log would show.
    if (m_flags.DebugMode)
        report(text);
}

void UnattendedJob::searchAnswerShown(const QString &answer)
{
    tellBox(QStringLiteral("SubmitStatusText"), answer);
}

void UnattendedJob::senderMissing(const QString &field)
{
    stepFailed(RunRefusal::senderMissing(field));
}

void UnattendedJob::runFailed(const QString &text)
{
    stepFailed(QStringLiteral("Error"), text);
}

void UnattendedJob::reportNotCreated()
{
    stepFailed(RunRefusal::reportNotCreated(m_session.reportPath()));
}

void UnattendedJob::engineListMissing(const QString &path)
{
    stepFailed(RunRefusal::engineListMissing(path));
}

void UnattendedJob::nothingChosen()
{
    stepFailed(RunRefusal::nothingChosen());
}
