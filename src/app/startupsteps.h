#pragma once

#include "runs/commandlinesteps.h"

#include <QString>
#include <functional>

class DirectoryLock;
class Platform;
class ProjectSession;
class RunServices;
class StatusLog;
class QWidget;
struct StartupFlags;

// The command line's steps (CommandLineSteps) when the window runs them (with a
// display and without "/exit"): a failure is told in a box and ends the steps,
// and the window stays open; what an import passed over goes to the status
// log; the base directory is held through all the steps that write.
class StartupSteps : private CommandLineSteps::Host
{
public:
    // What the steps ask of the window.
    struct Window
    {
        // The session has read the project file: the window shows it.
        std::function<void()> opened;
        // A sitemap import is under way.
        std::function<void(bool on)> busy;
        // An import has run: the window shows the project's URLs afresh.
        std::function<void()> imported;
        // The session's key changed in its file: the pages show it.
        std::function<void()> keyMade;
        // Runs a submission or a search; false when it did not run to its end.
        std::function<bool(bool search)> run;
    };

    // Everything given must outlive the steps; boxes are shown over parent.
    StartupSteps(const StartupFlags &flags, ProjectSession &session, const RunServices &services, DirectoryLock &lock,
                 Platform &platform, QWidget *parent, StatusLog &log, Window window);

    void run();

private:
    void tell(const QString &caption, const QString &text, CommandLineSteps::Tone tone) override;
    void failed(const std::exception &failure) override;
    void imported(const QStringList &skipped, const QString &doneLine) override;
    bool hold() override;
    void release() override;
    void projectOpened() override;
    void busy(bool on) override;
    void keyMade() override;
    bool runStep(bool search) override;

    CommandLineSteps m_steps;
    DirectoryLock &m_lock;
    Platform &m_platform;
    QWidget *m_parent;
    StatusLog &m_log;
    Window m_window;
};
