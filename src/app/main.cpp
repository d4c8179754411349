#include "app/constants.h"
#include "app/mainform.h"
#include "platform/desktopplatform.h"
#include "runs/commandline.h"
#include "runs/unattendedjob.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

bool hasArgument(int argc, char *argv[], const char *name)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
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

// Started with "/exit", or where no window can show, the program is the
// unattended job: no window is made, and nothing waits for a user.
bool startsUnattended(int argc, char *argv[])
{
    if (hasArgument(argc, argv, "/exit"))
        return true;
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    if (platformName.isEmpty())
        return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return platformName == "offscreen" || platformName == "minimal";
}

int runUnattended(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const StartupFlags flags = ParseCommandLine(QCoreApplication::arguments());
    if (!flags.UsageErrors.isEmpty()) {
        for (const QString &error : flags.UsageErrors)
            writeError(QStringLiteral("quillcast: ") + error);
        std::fputs("\n", stderr);
        std::fputs(CommandLineUsage, stderr);
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

int runWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // With a window, a mistake on the command line is told in its status log and passed over.
    const StartupFlags flags = ParseCommandLine(QCoreApplication::arguments());
    // The base directory is locked by the window only while a run or an
    // import works in it: a cron run beside an idle window is welcome.
    DesktopPlatform platform;
    std::unique_ptr<TMainForm> window;
    try {
        window = std::make_unique<TMainForm>(platform, flags);
    } catch (const std::exception &failure) {
        // A URL table that cannot be opened ends the program before its window shows.
        platform.showError(nullptr, QString::fromUtf8(failure.what()));
        return 1;
    }
    window->show();
    // Some platforms never activate a window.
    QTimer::singleShot(0, window.get(), [&window] { window->FormActivate(); });
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // --help and --version answer without opening a window.
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h")) {
        std::fputs(CommandLineUsage, stdout);
        return 0;
    }
    if (hasArgument(argc, argv, "--version")) {
        std::puts("Quillcast " QC_VERSION);
        return 0;
    }
    if (!startsUnattended(argc, argv))
        return runWindow(argc, argv);
    if (!hasArgument(argc, argv, "/debug"))
        qInstallMessageHandler(quietMessages);
    // Qt's own event dispatcher costs less per pass than the glib one, and a run
    // passes over the event queue several times for every URL.
    qputenv("QT_NO_GLIB", "1");
    return runUnattended(argc, argv);
}
