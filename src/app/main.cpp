#include "app/constants.h"
#include "runs/commandline.h"
#include "runs/unattendedjob.h"
#ifdef QC_WITH_WINDOW
#include "app/windowstart.h"
#endif

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstring>

namespace {

#ifndef QC_WITH_WINDOW
// The one way this build differs from the desktop program's command line.
const char NoWindowNote[] = "\nThis build has no window: it always ends after the steps above, as if /exit\n"
                            "were given.\n";
#endif

bool hasArgument(int argc, char *argv[], const char *name)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

void writeUsage(std::FILE *stream)
{
    std::fputs(CommandLineUsage, stream);
#ifndef QC_WITH_WINDOW
    std::fputs(NoWindowNote, stream);
#endif
}

// Unattended, Qt's own notices (a missing XDG_RUNTIME_DIR, fonts) would make
// cron send mail about nothing; only real failures get through.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void writeError(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// The unattended job: no window is made, and nothing waits for a user.
int runUnattended(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const StartupFlags flags = ParseCommandLine(QCoreApplication::arguments());
    if (!flags.UsageErrors.isEmpty()) {
        for (const QString &error : flags.UsageErrors)
            writeError(QStringLiteral("quillcast: ") + error);
        std::fputs("\n", stderr);
        writeUsage(stderr);
        return 2;
    }
    // A cron job whose "cd" was forgotten would start an empty URL table here
    // and submit every URL of the project again.
    const QString misplaced = MisplacedBaseDirectory(QDir::currentPath(), flags);
    if (!misplaced.isEmpty()) {
        writeError(QStringLiteral("quillcast: ") + misplaced);
        return 1;
    }
    UnattendedJob job(QDir::currentPath(), flags, Quillcast::ProgramIdentity());
    return job.run();
}

} // namespace

int main(int argc, char *argv[])
{
    // --help and --version answer without opening a window.
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h")) {
        writeUsage(stdout);
        return 0;
    }
    if (hasArgument(argc, argv, "--version")) {
        std::puts("Quillcast " QC_VERSION);
        return 0;
    }
#ifdef QC_WITH_WINDOW
    // Without "/exit", and where a window can show, the program is the window.
    if (!hasArgument(argc, argv, "/exit") && WindowCanShow())
        return RunWindow(argc, argv);
#endif
    if (!hasArgument(argc, argv, "/debug"))
        qInstallMessageHandler(quietMessages);
    // Qt's own event dispatcher costs less per pass than the glib one, and a run
    // passes over the event queue several times for every URL.
    qputenv("QT_NO_GLIB", "1");
    return runUnattended(argc, argv);
}
