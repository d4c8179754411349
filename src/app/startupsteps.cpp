#include "app/startupsteps.h"

#include "app/directorylock.h"
#include "platform/platform.h"
#include "runs/ui/statuslog.h"

#include <QStringList>

StartupSteps::StartupSteps(const StartupFlags &flags, ProjectSession &session, const RunServices &services,
                           DirectoryLock &lock, Platform &platform, QWidget *parent, StatusLog &log, Window window)
    : m_steps(flags, session, services, *this), m_lock(lock), m_platform(platform), m_parent(parent), m_log(log),
      m_window(std::move(window))
{}

void StartupSteps::run()
{
    try {
        m_steps.run();
    } catch (const std::exception &failure) {
        failed(failure);
    }
}

void StartupSteps::tell(const QString &caption, const QString &text, CommandLineSteps::Tone tone)
{
    const Platform::Icon icon = tone == CommandLineSteps::Tone::Stop    ? Platform::Icon::Stop
                                : tone == CommandLineSteps::Tone::Error ? Platform::Icon::Error
                                                                        : Platform::Icon::None;
    m_platform.messageBox(m_parent, text, caption, Platform::Ok, icon);
}

void StartupSteps::failed(const std::exception &failure)
{
    m_platform.showError(m_parent, QString::fromUtf8(failure.what()));
}

void StartupSteps::imported(const QStringList &skipped, const QString &doneLine)
{
    for (const QString &line : skipped)
        m_log.AddStatusLine(line, StatusKind::Failure);
    if (!doneLine.isEmpty())
        m_log.AddStatusLine(doneLine, StatusKind::Plain);
    m_window.imported();
}

bool StartupSteps::hold()
{
    return m_lock.acquire();
}

void StartupSteps::release()
{
    m_lock.release();
}

void StartupSteps::projectOpened()
{
    m_window.opened();
}

void StartupSteps::busy(bool on)
{
    m_window.busy(on);
}

void StartupSteps::keyMade()
{
    m_window.keyMade();
}

bool StartupSteps::runStep(bool search)
{
    return m_window.run(search);
}
