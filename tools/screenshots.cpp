// Renders each page of the main window, and the About box, to PNG files.
//   qc_screenshots OUTPUT_DIR [program arguments…]
// Run it in a base directory (it opens what the arguments ask, e.g. /load site.qlc).

#include "app/desktopplatform.h"
#include "app/mainform.h"

#include "engines/ui/enginechecklist.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTabWidget>

namespace {

// A control of the window by its name; the program's names are fixed.
template <typename T>
T *control(QObject *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found)
        std::fprintf(stderr, "qc_screenshots: no control named %s\n", name);
    return found;
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

    DesktopPlatform platform;
    TMainForm window(platform, arguments);
    window.show();
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
        window.ManualEnginesListBoxClick();
    }
    QApplication::processEvents();

    const struct
    {
        QWidget *page;
        const char *file;
    } pages[] = {{control<QWidget>(&window, "InfoTabSheet"), "sender-info.png"},
                 {control<QWidget>(&window, "SettingsTabSheet"), "settings.png"},
                 {control<QWidget>(&window, "StatusTabSheet"), "submit.png"},
                 {control<QWidget>(&window, "ManualSubmitTabSheet"), "manual.png"}};
    bool saved = true;
    for (const auto &page : pages) {
        if (!page.page)
            return 1;
        pageControl->setCurrentWidget(page.page);
        QApplication::processEvents();
        saved = window.grab().save(output.filePath(QLatin1String(page.file))) && saved;
    }
    about->show();
    QApplication::processEvents();
    saved = about->grab().save(output.filePath(QStringLiteral("about.png"))) && saved;
    return saved ? 0 : 1;
}
