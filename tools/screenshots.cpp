// Renders each page of the main window, and the About box, to PNG files.
//   qc_screenshots OUTPUT_DIR [program arguments…]
// Run it in a base directory (it opens what the arguments ask, e.g. /load site.qlc).

#include "app/aboutbox.h"
#include "app/desktopplatform.h"
#include "app/mainform.h"

#include "engines/ui/enginechecklist.h"

#include <QApplication>
#include <QListWidget>
#include <QDir>
#include <QTabWidget>

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
    if (window.Settings.SettingsSearchEnginesCheckList->count() > 0) {
        window.Settings.SettingsSearchEnginesCheckList->setSelectedIndex(0);
        window.RefreshControls();
    }
    if (window.Manual.ManualEnginesListBox->count() > 0) {
        window.Manual.ManualEnginesListBox->setCurrentRow(0);
        window.ManualEnginesListBoxClick();
    }
    QApplication::processEvents();

    const struct
    {
        QWidget *page;
        const char *file;
    } pages[] = {{window.Info.InfoTabSheet, "sender-info.png"},
                 {window.Settings.SettingsTabSheet, "settings.png"},
                 {window.Submit.StatusTabSheet, "submit.png"},
                 {window.Manual.ManualSubmitTabSheet, "manual.png"}};
    bool saved = true;
    for (const auto &page : pages) {
        window.pageControl()->setCurrentWidget(page.page);
        QApplication::processEvents();
        saved = window.grab().save(output.filePath(QLatin1String(page.file))) && saved;
    }
    window.AboutBox->show();
    QApplication::processEvents();
    saved = window.AboutBox->grab().save(output.filePath(QStringLiteral("about.png"))) && saved;
    return saved ? 0 : 1;
}
