#include "app/windowcommands.h"

#include "app/hints.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

namespace {

// A menu command; put on the tool bar too by showOnToolBar().
QAction *addCommand(QMenu *menu, const QString &name, const QString &text, const QString &hint)
{
    QAction *command = menu->addAction(text);
    command->setObjectName(name);
    SetHint(command, hint);
    return command;
}

void showOnToolBar(QMainWindow &window, QToolBar *bar, QAction *command, const QString &buttonName,
                   const QString &buttonText, const QString &hint, QStyle::StandardPixmap picture)
{
    command->setIcon(window.style()->standardIcon(picture));
    command->setIconVisibleInMenu(false);
    command->setIconText(buttonText);
    bar->addAction(command);
    QWidget *button = bar->widgetForAction(command);
    button->setObjectName(buttonName);
    SetHint(button, hint, true);
    // The button takes the action's tips at every change of the action; its own
    // hint, which may differ from the menu item's, is put back.
    QObject::connect(command, &QAction::changed, button, [button] {
        const QString own = button->property("hint").toString();
        button->setStatusTip(LongHint(own));
        button->setToolTip(ShortHint(own));
    });
}

} // namespace

WindowCommands WindowCommands::create(QMainWindow &window)
{
    WindowCommands made;
    QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    made.newProject = addCommand(file, QStringLiteral("NewProject1"), QStringLiteral("&New Project"),
                                 QStringLiteral("New project|Create a new project"));
    made.openProject = addCommand(file, QStringLiteral("OpenProject1"), QStringLiteral("&Open Project..."),
                                  QStringLiteral("Open project|Open an existing project"));
    made.saveProject = addCommand(file, QStringLiteral("SaveProject1"), QStringLiteral("&Save Project"),
                                  QStringLiteral("Save project|Save the current project"));
    made.deleteProject = addCommand(file, QStringLiteral("DeleteProject1"), QStringLiteral("&Delete Project"),
                                    QStringLiteral("Delete project|Delete a saved project"));
    made.closeProject = addCommand(file, QStringLiteral("CloseProject1"), QStringLiteral("&Close Project"),
                                   QStringLiteral("Close project|Close the current project"));
    file->addSeparator();
    made.exit =
        addCommand(file, QStringLiteral("Exit1"), QStringLiteral("E&xit"), QStringLiteral("Exit|Exit this program"));

    made.dataMenu = window.menuBar()->addMenu(QStringLiteral("&Data"));
    made.dataMenu->setObjectName(QStringLiteral("Data1"));
    SetHint(made.dataMenu->menuAction(), QStringLiteral("Data|Data manipulation"));
    made.importUrlList =
        addCommand(made.dataMenu, QStringLiteral("Importfromfile"), QStringLiteral("&Import from file"),
                   QStringLiteral("Import from file|Import URL's from a text file (1 URL per line)"));
    made.importSitemap =
        addCommand(made.dataMenu, QStringLiteral("ImportSitemap"), QStringLiteral("Import &sitemap..."),
                   QStringLiteral("Import sitemap|Make the project's URLs those of a sitemap (changed pages are "
                                  "submitted again)"));
    made.importSitemapAddress = addCommand(
        made.dataMenu, QStringLiteral("ImportSitemapAddress"), QStringLiteral("Import sitemap from &address..."),
        QStringLiteral("Import sitemap from address|Make the project's URLs those of a sitemap on the web "
                       "(an http:// or https:// address)"));
    // Kept for the menu's shape: checked, invisible, and without a command.
    QAction *urlDropWindow =
        addCommand(made.dataMenu, QStringLiteral("URLdropwindow1"), QStringLiteral("&URL drop window"), {});
    urlDropWindow->setCheckable(true);
    urlDropWindow->setChecked(true);
    urlDropWindow->setVisible(false);

    QMenu *help = window.menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    made.help = addCommand(help, QStringLiteral("HelpIndex1"), QStringLiteral("Help &Index"),
                           QStringLiteral("Help index|Go to the online help system"));
    help->addSeparator();
    made.includeEngine = addCommand(
        help, QStringLiteral("HowToIncludeYourSearchEngine1"), QStringLiteral("How to include your search engine"),
        QStringLiteral("Include your search engine|Suggest a search engine to include in the lists"));
    help->addSeparator();
    made.about = addCommand(help, QStringLiteral("About1"), QStringLiteral("&About"),
                            QStringLiteral("About |Version information"));

    QToolBar *bar = window.addToolBar(QStringLiteral("Project"));
    bar->setObjectName(QStringLiteral("SpeedBarPanel"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->toggleViewAction()->setEnabled(false);
    window.setContextMenuPolicy(Qt::NoContextMenu);
    showOnToolBar(window, bar, made.newProject, QStringLiteral("NewProjectSpeedButton"), QStringLiteral("New"),
                  QStringLiteral("New project|Create a new project"), QStyle::SP_FileIcon);
    showOnToolBar(window, bar, made.openProject, QStringLiteral("OpenProjectSpeedButton"), QStringLiteral("Open"),
                  QStringLiteral("Open project|Open an existing project"), QStyle::SP_DialogOpenButton);
    showOnToolBar(window, bar, made.closeProject, QStringLiteral("CloseProjectSpeedButton"), QStringLiteral("Close"),
                  QStringLiteral("Close Project|Close the current project"), QStyle::SP_DialogCloseButton);
    showOnToolBar(window, bar, made.saveProject, QStringLiteral("SaveProjectSpeedButton"), QStringLiteral("Save"),
                  QStringLiteral("Save project|Save the current project"), QStyle::SP_DialogSaveButton);
    auto *gap = new QWidget(bar);
    gap->setObjectName(QStringLiteral("SpeedBarGap"));
    gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(gap);
    showOnToolBar(window, bar, made.deleteProject, QStringLiteral("DeleteProjectSpeedButton"), QStringLiteral("Delete"),
                  QStringLiteral("Delete project|Delete a project"), QStyle::SP_TrashIcon);
    showOnToolBar(window, bar, made.exit, QStringLiteral("ExitSpeedButton"), QStringLiteral("Exit"),
                  QStringLiteral("Exit Quillcast|Exit the Quillcast program"), QStyle::SP_DialogCancelButton);
    return made;
}
