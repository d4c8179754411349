#include "runs/commandlinesteps.h"

#include "project/session/projectsession.h"
#include "project/store/urltable.h"
#include "runs/commandline.h"
#include "runs/urlimports.h"

CommandLineSteps::CommandLineSteps(const StartupFlags &flags, ProjectSession &session, const RunServices &services,
                                   Host &host)
    : m_flags(flags), m_session(session), m_services(services), m_host(host)
{}

bool CommandLineSteps::run()
{
    if (!m_flags.LoadFlag)
        return true;
    // A start that ends here leaves the base directory as it found it.
    if (!openProject())
        return false;
    // One piece of work from the import to the search: no other run slips in between.
    if (!m_flags.hasWork())
        return afterHold();
    if (!m_host.hold())
        return false;
    bool done = false;
    try {
        done = afterHold();
    } catch (...) {
        m_host.release();
        throw;
    }
    m_host.release();
    return done;
}

bool CommandLineSteps::openProject()
{
    m_session.loadEngines();
    m_session.open(m_flags.LoadArgument);
    m_host.projectOpened();
    if (m_session.id() > 0)
        return true;
    // An ID the table cannot hold exactly would mix this project's URLs with another's.
    const QString problem = m_session.idProblem();
    m_host.tell(QStringLiteral("Cannot open project"),
                problem.isEmpty() ? m_session.file() : m_session.file() + QStringLiteral(": ") + problem, Tone::Plain);
    return false;
}

bool CommandLineSteps::afterHold()
{
    try {
        m_session.openTable();
    } catch (const std::exception &failure) {
        m_host.failed(failure);
        return false;
    }
    if (!importUrls())
        return false;
    if (m_flags.NewKeyFlag && !keyStepDone(m_session.makeIndexNowKey(), ProjectSession::KeyNotMadeCaption))
        return false;
    if (m_flags.KeyFileFlag &&
        !keyStepDone(m_session.writeIndexNowKeyFile(m_flags.KeyFileArgument), ProjectSession::KeyFileNotWrittenCaption))
        return false;
    if (m_flags.RunFlag && !m_host.runStep(false))
        return false;
    return !m_flags.SearchFlag || m_host.runStep(true);
}

bool CommandLineSteps::importUrls()
{
    if (!m_flags.UrlListFlag && !m_flags.SitemapFlag)
        return true;
    UrlImport import;
    UrlTable &table = m_session.table();
    m_host.busy(true);
    try {
        import = m_flags.UrlListFlag
                     ? ReplaceUrlsFromList(table, m_session.id(), m_session.baseDir(), m_flags.UrlListArgument)
                     : ReplaceUrlsFromSitemaps(m_services, table, m_session.id(), m_flags.SitemapArguments,
                                               m_session.baseDir(), m_session.settings().timeoutSeconds());
    } catch (const std::exception &failure) {
        m_host.busy(false);
        m_host.failed(failure);
        return false;
    }
    m_host.busy(false);
    m_host.imported(import.skipped, import.imported ? import.doneLine : QString());
    if (!import.imported)
        m_host.tell(import.failureCaption, import.failureText, Tone::Stop);
    return import.imported;
}

bool CommandLineSteps::keyStepDone(const QString &error, const QString &caption)
{
    if (!error.isEmpty()) {
        m_host.tell(caption, error, Tone::Error);
        return false;
    }
    m_host.keyMade();
    return true;
}
