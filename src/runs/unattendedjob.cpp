#include "runs/unattendedjob.h"

#include "project/baselock.h"
#include "project/profilefile.h"
#include "project/settingskeys.h"
#include "project/urltable.h"
#include "runs/builtinpictures.h"
#include "runs/run.h"
#include "runs/runrefusal.h"
#include "runs/runservices.h"
#include "runs/runsetup.h"
#include "runs/runsummary.h"
#include "runs/urlimports.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
      m_session(baseDir)
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
    if (!m_flags.LoadFlag)
        return Success;
    // A start that ends here leaves the base directory as it found it: no URL
    // table, no lists directory and no lock file for a project that cannot be opened.
    if (!openProject())
        return StepFailed;
    // One piece of work from the import to the search: no other run slips in between.
    BaseLock lock(m_session.baseDir());
    if (m_flags.hasWork()) {
        const BaseLock::Outcome outcome = lock.tryAcquire();
        if (outcome != BaseLock::Outcome::Acquired) {
            const QString baseDir = m_session.baseDir();
            const QString process =
                lock.holderPid() > 0 ? QStringLiteral(" (process %1)").arg(lock.holderPid()) : QString();
            report(QStringLiteral("quillcast: ") +
                   (outcome == BaseLock::Outcome::Held
                        ? QStringLiteral("The directory %1 is in use by another Quillcast%2.").arg(baseDir, process)
                        : QStringLiteral("The directory %1 cannot be locked for Quillcast: %2")
                              .arg(baseDir, lock.errorText())));
            return StepFailed;
        }
    }
    if (!openTable())
        return StepFailed;
    if (m_flags.NewKeyFlag) {
        const QString error = m_session.makeIndexNowKey();
        if (!error.isEmpty()) {
            stepFailed(ProjectSession::KeyNotMadeCaption, error);
            return StepFailed;
        }
    }
    if (m_flags.KeyFileFlag) {
        const QString error = m_session.writeIndexNowKeyFile(m_flags.KeyFileArgument);
        if (!error.isEmpty()) {
            stepFailed(ProjectSession::KeyFileNotWrittenCaption, error);
            return StepFailed;
        }
    }
    if (m_flags.RunFlag) {
        runOnce(false);
        m_submitTally = m_lastTally;
        if (m_stepFailed)
            return StepFailed;
    }
    if (m_flags.SearchFlag) {
        runOnce(true);
        m_searchTally = m_lastTally;
        if (m_stepFailed)
            return StepFailed;
    }
    return anyRequestFailed(m_submitTally) || anyRequestFailed(m_searchTally) || m_runFaulted ? RequestsFailed
                                                                                              : Success;
}

bool UnattendedJob::openProject()
{
    m_engines = EngineCatalogue::load(m_session.autoListPath());
    m_session.open(m_flags.LoadArgument);
    if (m_session.id() == 0) {
        // An ID the table cannot hold exactly would mix this project's URLs with another's.
        const QString problem = m_session.idProblem();
        tellBox(QStringLiteral("Cannot open project"),
                problem.isEmpty() ? m_session.file() : m_session.file() + QStringLiteral(": ") + problem);
        return false;
    }
    return true;
}

bool UnattendedJob::openTable()
{
    try {
        m_table = std::make_unique<UrlTable>(m_session.baseDir());
    } catch (const std::exception &failure) {
        tellBox(QCoreApplication::applicationName(), QString::fromUtf8(failure.what()));
        return false;
    }
    m_services = std::make_unique<RunServices>(m_identity.appTitle.toUtf8());
    if (!QFileInfo::exists(m_session.listsDir()))
        QDir().mkdir(m_session.listsDir());
    if ((m_flags.UrlListFlag || m_flags.SitemapFlag) && !importUrls())
        m_stepFailed = true;
    m_table->setFilter(m_session.id());
    return !m_stepFailed;
}

bool UnattendedJob::importUrls()
{
    UrlImport import;
    try {
        import = m_flags.UrlListFlag
                     ? ReplaceUrlsFromList(*m_table, m_session.id(), m_session.baseDir(), m_flags.UrlListArgument)
                     : ReplaceUrlsFromSitemaps(*m_services, *m_table, m_session.id(), m_flags.SitemapArguments,
                                               m_session.baseDir(), m_session.settings().timeoutSeconds());
    } catch (const std::exception &failure) {
        tellFailure(failure);
        return false;
    }
    for (const QString &text : import.skipped)
        report(QStringLiteral("quillcast: ") + text);
    if (!import.imported)
        tellBox(import.failureCaption, import.failureText);
    return import.imported;
}

RunSetup UnattendedJob::runSetup() const
{
    return MakeRunSetup(m_session, m_engines, m_flags, m_identity);
}

void UnattendedJob::runOnce(bool search)
{
    try {
        const RunSetup setup = runSetup();
        // The report shows the picture from the base directory.
        if (!search && setup.settings.statusLog)
            EnsurePictureFile(m_session.baseDir(), m_identity.reportImageFile);
        RunObserver &observer = *this;
        const std::unique_ptr<Run> run = search ? m_services->searchRun(setup, *m_table, observer)
                                                : m_services->submissionRun(setup, *m_table, observer);
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
        if (!run->engines().sameColumns(m_engines))
            m_engines = EngineCatalogue::load(m_session.autoListPath());
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
