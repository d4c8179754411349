#include "app/desktopplatform.h"
#include "app/mainform.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>

static const char Usage[] =
    "Usage: quillcast [/load PROJECT.qlc [/urllist URLS.txt] [/run] [/search] [/exit]] [/debug] [/test]\n"
    "\n"
    "Keeps site owners' projects and submits their URLs to search engines.\n"
    "Everything is read from and written to the current directory.\n"
    "\n"
    "  /load FILE     open the project FILE (a name relative to the current directory)\n"
    "  /urllist FILE  replace the project's URLs with the lines of FILE\n"
    "  /run           submit every enabled URL to the chosen engines\n"
    "  /search        ask the chosen engines which URLs they do not list yet\n"
    "  /exit          end the program after the steps above\n"
    "  /debug         show diagnostic lines and the working page\n"
    "  /test          send requests to the test server instead of the engines\n"
    "  --help         this text\n"
    "  --version      the program's version\n";

int main(int argc, char *argv[])
{
    // --help and --version answer without opening a window.
    bool unattended = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("Quillcast 2.05");
            return 0;
        }
        if (std::strcmp(argv[i], "/exit") == 0)
            unattended = true;
    }
    // Without any display (cron, a server) the window lives offscreen, where
    // message boxes go to standard error, instead of the program failing to start.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own event dispatcher costs less per pass than the glib one, and a run
    // passes over the event queue several times for every URL; an unattended
    // program ("/exit") shows no native dialog that would need the glib loop.
    if (unattended)
        qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    DesktopPlatform platform;
    std::unique_ptr<TMainForm> window;
    try {
        window = std::make_unique<TMainForm>(platform, QCoreApplication::arguments());
    } catch (const std::exception &failure) {
        // A URL table that cannot be opened ends the program before its window shows.
        platform.showError(nullptr, QString::fromUtf8(failure.what()));
        return 1;
    }
    window->show();
    // Some platforms (offscreen among them) never activate a window.
    QTimer::singleShot(0, window.get(), [&window] { window->FormActivate(); });
    return app.exec();
}
