#pragma once

#include <QString>
#include <QStringList>
#include <exception>

class ProjectSession;
class RunServices;
struct StartupFlags;

// The command line's steps, for the window and the unattended job alike: open
// the "/load" project, take the base directory when a step will write to it,
// replace the project's URLs from "/urllist" or "/sitemap", then "/newkey",
// "/keyfile", "/run" and "/search", in this order. The first step that fails
// has said why through its host and ends the steps. The hosts differ in how they
// tell a failure (a box, standard error), how they hold the base directory and
// how they show a project and run; the order and the checks are the same.
class CommandLineSteps
{
public:
    // How a failure box would look: the import's is a stop, a key step's an error.
    enum class Tone { Plain, Stop, Error };

    // What the steps ask of whoever drives them.
    class Host
    {
    public:
        virtual ~Host() = default;
        // A step failed: caption and text as a box would show them.
        virtual void tell(const QString &caption, const QString &text, Tone tone) = 0;
        // A failure the steps did not expect (a table that cannot be opened or written).
        virtual void failed(const std::exception &failure) = 0;
        // Lines of an import's input that were passed over, and the import's
        // closing line ("" for a URL list).
        virtual void imported(const QStringList &skipped, const QString &doneLine) = 0;
        // The base directory is wanted through all the steps that follow; false,
        // having said why, when another program holds it. release() follows a true.
        virtual bool hold() = 0;
        virtual void release() = 0;
        // The session has just read the project file, its ID valid or not.
        virtual void projectOpened() {}
        // A sitemap import is under way (a window shows a busy cursor).
        virtual void busy(bool) {}
        // A key step changed the session's key and file.
        virtual void keyMade() {}
        // Runs a submission or a search; false when it did not run to its end.
        virtual bool runStep(bool search) = 0;
    };

    // Everything given must outlive the steps.
    CommandLineSteps(const StartupFlags &flags, ProjectSession &session, const RunServices &services, Host &host);

    // Runs the steps; true when every step given ran (none given: true).
    bool run();

private:
    bool openProject();
    bool afterHold();
    bool importUrls();
    // "" is a key step done; anything else is told under caption.
    bool keyStepDone(const QString &error, const QString &caption);

    const StartupFlags &m_flags;
    ProjectSession &m_session;
    const RunServices &m_services;
    Host &m_host;
};
