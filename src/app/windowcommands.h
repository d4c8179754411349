#pragma once

class QAction;
class QMainWindow;
class QMenu;

// The window's commands, one action each, shared by the menus and (the project
// commands) the tool bar. Each action, menu and tool bar button has its object
// name and its hint; what a command does is connected by the window.
struct WindowCommands
{
    QAction *newProject = nullptr;
    QAction *openProject = nullptr;
    QAction *saveProject = nullptr;
    QAction *deleteProject = nullptr;
    QAction *closeProject = nullptr;
    QAction *exit = nullptr;
    QAction *importUrlList = nullptr;
    QAction *importSitemap = nullptr;
    QAction *importSitemapAddress = nullptr;
    QAction *help = nullptr;
    QAction *includeEngine = nullptr;
    QAction *about = nullptr;
    QMenu *dataMenu = nullptr;

    // Builds the menu bar and the tool bar of window.
    static WindowCommands create(QMainWindow &window);
};
