#include "app/startupsteps.h"

#include "app/directorylock.h"
#include "platform/platform.h"
#include "project/projectsession.h"
#include "runs/commandline.h"

#include <QStringList>

#include <optional>

StartupSteps::StartupSteps(const StartupFlags &flags, ProjectSession &session, DirectoryLock &lock, Platform &platform,
                           QWidget *parent, Window window)
    : m_flags(flags), m_session(session), m_lock(lock), m_platform(platform), m_parent(parent),
      m_window(std::move(window))
{}

void StartupSteps::run()
{
    if (!m_flags.LoadFlag)
        return;
    // One piece of work from the import to the search: no other run slips in between.
    std::optional<DirectoryLock::Scope> lock;
    if (m_flags.hasWork() && !lock.emplace(m_lock).held())
        return;
    if (!m_window.open(m_flags.LoadArgument))
        return;
    if (m_flags.NewKeyFlag && !keyStepDone(m_session.makeIndexNowKey(), ProjectSession::KeyNotMadeCaption))
        return;
    if (m_flags.KeyFileFlag &&
        !keyStepDone(m_session.writeIndexNowKeyFile(m_flags.KeyFileArgument), ProjectSession::KeyFileNotWrittenCaption))
        return;
    if (m_flags.RunFlag && !m_window.run(false))
        return;
    if (m_flags.SearchFlag)
        m_window.run(true);
}

bool StartupSteps::keyStepDone(const QString &error, const QString &caption)
{
    if (!error.isEmpty()) {
        m_platform.messageBox(m_parent, error, caption, Platform::Ok, Platform::Icon::Error);
        return false;
    }
    m_window.keyMade();
    return true;
}
