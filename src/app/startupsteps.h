#pragma once

#include <QString>
#include <functional>

class DirectoryLock;
class Platform;
class ProjectSession;
class QWidget;
struct StartupFlags;

// The command line's steps when the window runs them (with a display and
// without "/exit"): open the "/load" project (the window also replaces its URLs
// from "/urllist" or "/sitemap"), then "/newkey", "/keyfile", "/run" and
// "/search", in this order, under one hold of the base directory. A step that
// fails has said why in a box and ends the steps; the window stays open.

class StartupSteps
{
public:
    // What the steps ask of the window.
    struct Window
    {
        // Opens the project file named on the command line and imports its URLs;
        // false when it has no valid ID or an import failed.
        std::function<bool(const QString &path)> open;
        // The session's key changed in its file: the pages show it.
        std::function<void()> keyMade;
        // Runs a submission or a search; false when it did not run to its end.
        std::function<bool(bool search)> run;
    };

    // Everything given must outlive the steps; boxes are shown over parent.
    StartupSteps(const StartupFlags &flags, ProjectSession &session, DirectoryLock &lock, Platform &platform,
                 QWidget *parent, Window window);

    void run();

private:
    // "" is a key step done; anything else is told under caption.
    bool keyStepDone(const QString &error, const QString &caption);

    const StartupFlags &m_flags;
    ProjectSession &m_session;
    DirectoryLock &m_lock;
    Platform &m_platform;
    QWidget *m_parent;
    Window m_window;
};
