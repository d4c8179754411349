#pragma once

#include "engines/enginecatalogue.h"
#include "project/session/projectsettings.h"

#include <QString>
#include <QStringList>
#include <memory>

class UrlTable;

// What a project is, for the window and the unattended job alike: the base
// directory's fixed paths, the URL table with its side tables, the engine
// catalogue, the open project's file, ID, directory and report, and its
// settings; opening, saving, creating and deleting a project file, and the
// IndexNow key steps. Widget-free: whoever shows the project keeps its own copy
// of what the user edits and hands it over with setSettings() before a save.
// The window and the unattended job each hold one session and ask it for the
// table and the catalogue rather than making their own.
//
// All paths are absolute when the base directory is. Nothing here locks the base
// directory: remove() and the imports are the caller's to lock (BaseLock).
class ProjectSession
{
public:
    // Captions of the boxes that tell why a key step failed.
    inline static const QString KeyNotMadeCaption = QStringLiteral("IndexNow key not made");
    inline static const QString KeyFileNotWrittenCaption = QStringLiteral("Key file not written");

    // Reads an automatic engine list (EngineCatalogue::load). Passed in because
    // the engine lists are read by a library that builds on this one.
    using EngineLoader = EngineCatalogue (*)(const QString &path);

    // baseDir is the directory the program works in (the current directory at
    // start-up); loadEngines() reads through loader (none: no engines). Creates nothing.
    explicit ProjectSession(const QString &baseDir, EngineLoader loader = nullptr);
    ~ProjectSession();
    ProjectSession(const ProjectSession &) = delete;
    ProjectSession &operator=(const ProjectSession &) = delete;

    // The base directory and what lives in it.
    QString baseDir() const { return m_baseDir; }
    QString appIniPath() const;     // <base>/Quillcast.ini: the project counter, the window, the test server
    QString projectsDir() const;    // <base>/Projects
    QString listsDir() const;       // <base>/lists, made at start-up
    QString autoListPath() const;   // <base>/engines205.txt
    QString manualListPath() const; // <base>/manual_engines205.txt

    // The base directory's URL table (urls2.db, with every side table) and the
    // lists directory, made when missing; the one table of the session from the
    // first call on. Nothing is made before: a start that fails before its
    // project is open leaves the directory as it found it. Throws UrlTableError
    // when the table cannot be opened (then nothing is kept, and the next call
    // tries again).
    UrlTable &openTable();
    bool hasTable() const { return m_table != nullptr; }
    // The table openTable() opened; call that first.
    UrlTable &table() const { return *m_table; }

    // The automatic engines as last read by loadEngines(); none before.
    const EngineCatalogue &engines() const { return m_engines; }
    // Reads the automatic engine list afresh (a missing list gives no engines):
    // the catalogue the window, the job and their runs work with.
    const EngineCatalogue &loadEngines();

    // The open project. A file is open from open() or create() to close();
    // its ID may still be refused (id() 0, idProblem() says why when it can).
    bool hasFile() const { return !m_file.isEmpty(); }
    QString file() const { return m_file; }
    // The project's ID; 0 with no file open or an ID refused.
    int id() const { return m_settings.projectId; }
    // Why the file's ID was refused (ProjectSettings::projectIdProblem()); "" when
    // it gave none, or a valid one.
    QString idProblem() const { return m_idProblem; }
    // <base>/Projects/<id> and <base>/Projects/<id>/StatusLog.htm; "" without a valid ID.
    QString directory() const;
    QString reportPath() const;
    // The settings as last opened, created or handed over (the Excite values included).
    const ProjectSettings &settings() const { return m_settings; }
    // Takes settings as the project's current ones, to be written by save(); the
    // ID stays the session's, whatever settings.projectId says.
    void setSettings(const ProjectSettings &settings);

    // Reads path as the open project (a relative path is taken from the base
    // directory), replacing whatever was open. True when its ID is valid; false
    // leaves the file open with id() 0 and idProblem() set. Never throws: a
    // missing or unreadable file gives the defaults (and no ID).
    bool open(const QString &path);
    // Writes the settings to the open file; listedEngines are the engine list's
    // engines (see ProjectSettings::save()). Throws ProfileWriteError when the
    // file cannot be written.
    void save(const QStringList &listedEngines);
    // Makes path a new project: reads it (a file chosen to be overwritten gives
    // its settings), writes the settings back, takes the next ID from the
    // project counter of the application ini (and writes the counter), writes
    // the ID into the file and makes Projects/ and Projects/<id>/ where missing.
    // Returns the new ID. Throws ProfileWriteError when the application ini or
    // the file cannot be written (the counter may then be counted up already).
    int create(const QString &path, const QStringList &listedEngines);
    // Deletes the open project: with a valid ID its rows in the table (opened
    // when it is not yet) and the plain files of its directory (the directory
    // too when that leaves it empty), then the project file. True when the file
    // went. The session is closed afterwards, also when it throws (UrlTableError:
    // the rows could not be deleted, and nothing else was).
    bool remove();
    // No project open any more. Touches no file.
    void close();

    // The "/newkey" step: a project without a key gets a new one, written into
    // its file and into settings(); a valid key is kept (the site may publish
    // it already). "" when the project has a valid key afterwards, otherwise why
    // not (an invalid key, which is kept; the file cannot be written). Never throws.
    QString makeIndexNowKey();
    // The "/keyfile" step: writes <key>.txt, holding the key alone, into
    // directory (a relative one is taken from the base directory). "" when
    // written, otherwise why not (no key, an invalid key, the system's reason).
    // Never throws.
    QString writeIndexNowKeyFile(const QString &directory) const;

private:
    QString m_baseDir;
    EngineLoader m_loader;
    QString m_file;
    QString m_idProblem;
    ProjectSettings m_settings;
    std::unique_ptr<UrlTable> m_table;
    EngineCatalogue m_engines;
};
