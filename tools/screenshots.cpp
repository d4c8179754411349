// Renders the main window at its first start, then each page at the window's
// minimum size, its default size and 1600x1000, and the About box, to PNG files.
//   qc_screenshots OUTPUT_DIR [program arguments…]
// Run it in a base directory (it opens what the arguments ask, e.g. /load site.qlc).

#include "app/enginecommands.h"
#include "app/mainform.h"
#include "platform/desktopplatform.h"

#include "engines/ui/enginechecklist.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QScreen>
#include <QTabWidget>

namespace {

// A control of the window by its name; the program's names are fixed.
template <typename T> T *control(QObject *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found)
        std::fprintf(stderr, "qc_screenshots: no control named %s\n", name);
    return found;
}

// On a real X server a resize comes back from the server: wait for it, then
// let the layouts and the paints run.
void settle(const QWidget &window, QSize size = {})
{
    QElapsedTimer waited;
    waited.start();
    while ((size.isValid() && window.size() != size) || waited.elapsed() < 300) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (waited.elapsed() > 5000)
            break;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: qc_screenshots OUTPUT_DIR [program arguments...]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QStringList arguments{QStringLiteral("quillcast")};
    for (int i = 2; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    // The pointer stays off the window: a hint under it would show in the status bar.
    QCursor::setPos(0, 0);
    DesktopPlatform platform;
    TMainForm window(platform, ParseCommandLine(arguments));
    if (const QScreen *screen = window.screen())
        window.move(screen->availableGeometry().bottomRight() - QPoint(1600, 1000));
    window.show();
    settle(window);
    bool saved = window.grab().save(output.filePath(QStringLiteral("no-project.png")));
    window.FormActivate();
    // Show an engine's flags in the grid and a manual engine's details.
    auto *engines = control<EngineCheckList>(&window, "SettingsSearchEnginesCheckList");
    auto *manual = control<QListWidget>(&window, "ManualEnginesListBox");
    auto *pageControl = control<QTabWidget>(&window, "PageControl");
    auto *about = control<QWidget>(&window, "AboutBox");
    if (!engines || !manual || !pageControl || !about)
        return 1;
    if (engines->count() > 0) {
        engines->setSelectedIndex(0);
        window.RefreshControls();
    }
    if (manual->count() > 0) {
        manual->setCurrentRow(0);
        window.engineCommands().showManualEngine();
    }
    settle(window);

    const struct
    {
        const char *page;
        const char *file;
    } pages[] = {{"InfoTabSheet", "sender-info"},
                 {"SettingsTabSheet", "settings"},
                 {"StatusTabSheet", "submit"},
                 {"ManualSubmitTabSheet", "manual"}};
    const struct
    {
        QSize size;
        const char *suffix;
    } sizes[] = {{window.minimumSize(), "-minimum"}, {window.size(), ""}, {QSize(1600, 1000), "-1600x1000"}};
    for (const auto &size : sizes) {
        window.resize(size.size);
        settle(window, size.size);
        for (const auto &page : pages) {
            auto *sheet = control<QWidget>(&window, page.page);
            if (!sheet)
                return 1;
            pageControl->setCurrentWidget(sheet);
            settle(window);
            const QString file = QLatin1String(page.file) + QLatin1String(size.suffix) + QStringLiteral(".png");
            saved = window.grab().save(output.filePath(file)) && saved;
        }
    }
    about->show();
    settle(*about);
    saved = about->grab().save(output.filePath(QStringLiteral("about.png"))) && saved;
    return saved ? 0 : 1;
}
