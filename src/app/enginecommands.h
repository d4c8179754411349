#pragma once

#include "engines/enginecatalogue.h"

#include <QObject>
#include <QStringList>

class ManualPage;
class Platform;
class ProjectSession;
class RunServices;
class SettingsBinding;
class SettingsPage;
class StatusLog;
class TAdvancedEngineForm;
class QWidget;

// The commands on the engine lists: loading the automatic list into the
// catalogue and the check list and the manual list into the manual page,
// downloading both, choosing every engine or none, and the Excite settings.
// The catalogue the window and its runs work with is the session's.
class EngineCommands : public QObject
{
    Q_OBJECT

public:
    // Boxes and dialogs are shown over parent; everything given must outlive the commands.
    EngineCommands(Platform &platform, QWidget *parent, ProjectSession &session, SettingsBinding &binding,
                   const RunServices &services, SettingsPage &settingsPage, ManualPage &manualPage, StatusLog &log);

    // Loads the automatic list into the session's catalogue and shows it.
    void loadEngineList();
    // The session's catalogue in the check list, all unchecked; a list cut at
    // the catalogue's limit is told in the status log.
    void showEngineList();
    void loadManualList();
    // Downloads both lists from where the project's settings say, telling each
    // problem in the status log. Returns what went wrong when neither list was
    // replaced (the built-in lists written count as a problem), else nothing.
    QStringList fetchLists();
    // A run worked with engines (it may have downloaded or written a list):
    // when an engine is listed or placed otherwise, the window follows the run's
    // list, keeping the project's choice.
    void followRun(const EngineCatalogue &engines);

public slots:
    // Downloads the lists and reloads them, keeping the project's settings as
    // they are; a box tells whether the lists were updated.
    void downloadLists();
    // Checks every engine, disabled ones too (the Excite rule applies again at
    // the window's next refresh), or none.
    void enableAllEngines();
    void disableAllEngines();
    // The Excite settings dialog; OK or Cancel, the project counts as changed.
    void editExciteSettings();
    // Shows the manual engine clicked last on the manual page.
    void showManualEngine();

signals:
    // The user changed the project's settings through a command.
    void edited();
    // What the window shows may have changed.
    void changed();
    // The lists are being downloaded: the window shows a busy cursor.
    void busy(bool on);
    // One of the program's own dialogs has closed (the manual page reloads when
    // the focus is back).
    void dialogClosed();

private:
    Platform &m_platform;
    QWidget *m_parent;
    ProjectSession &m_session;
    SettingsBinding &m_binding;
    const RunServices &m_services;
    SettingsPage &m_settingsPage;
    ManualPage &m_manualPage;
    StatusLog &m_log;
    TAdvancedEngineForm *m_exciteForm;
};
