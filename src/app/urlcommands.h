#pragma once

#include <QObject>
#include <QStringList>

class DirectoryLock;
class Platform;
class ProjectSession;
class RunServices;
class SettingsPage;
class StatusLog;
class UrlTable;
class QWidget;
struct UrlImport;

// The commands on the open project's URLs: add the typed one, import a list or
// a sitemap (file or address), replace them from the command line's list or
// sitemaps, enable them all; and write the site's IndexNow key file. An import
// holds the base directory while it works; what it passed over goes to the
// status log, and why it changed nothing to a box.
class UrlCommands : public QObject
{
    Q_OBJECT

public:
    // Boxes and dialogs are shown over parent; everything given must outlive the commands.
    UrlCommands(Platform &platform, QWidget *parent, ProjectSession &session, UrlTable &table,
                const RunServices &services, DirectoryLock &lock, SettingsPage &settingsPage, StatusLog &log);

    // The project's URLs become the pages of the sitemaps together. False,
    // having changed nothing and said why, when the input cannot be read or
    // yields no valid URL, or the base directory is held elsewhere.
    bool replaceFromSitemaps(const QStringList &fileOrUrls);

public slots:
    // Stores the New URL box's text exactly as typed, then empties the box.
    void addUrl();
    // The Data menu: adds the URLs of a text file the user chooses.
    void importUrlList();
    // The Data menu: the project's URLs become the pages of a sitemap file, or
    // of a sitemap at an http(s) address the user types.
    void importSitemapFile();
    void importSitemapAddress();
    void enableAllUrls();
    // Writes the IndexNow key, as the file's only content, where the user
    // chooses; an invalid key is refused with a box that says what a key must be.
    void writeKeyFile();

signals:
    // URLs were added or replaced: the project counts as modified.
    void urlsChanged();
    // The table changed in a way the window's state may show.
    void changed();
    // A sitemap is being fetched: the window shows a busy cursor.
    void busy(bool on);

private:
    // Tells what the import passed over; a failure also in a box. Returns import.imported.
    bool tell(const UrlImport &import);
    void showFailure(const std::exception &failure);

    Platform &m_platform;
    QWidget *m_parent;
    ProjectSession &m_session;
    UrlTable &m_table;
    const RunServices &m_services;
    DirectoryLock &m_lock;
    SettingsPage &m_settingsPage;
    StatusLog &m_log;
};
