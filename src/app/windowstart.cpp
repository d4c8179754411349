#include "app/windowstart.h"

#include "app/mainform.h"
#include "platform/desktopplatform.h"
#include "runs/commandline.h"

#include <QApplication>
#include <QTimer>

#include <memory>

bool WindowCanShow()
{
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    if (platformName.isEmpty())
        return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return platformName != "offscreen" && platformName != "minimal";
}

int RunWindow(int argc, char *argv[])
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
