#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class ProjectQuery;
class UrlTable;

// What the page checks leave in urls2.db beside the URLs, per project:
//  - the last check of each URL (its validators for the next conditional
//    request, the content fingerprint, whether the page may be indexed and
//    why not, the final status line, when);
//  - per URL and engine NAME the fingerprint of the content the engine last
//    accepted, so a page is sent again when, and only when, its content
//    changed;
//  - per URL and engine the deletions the engine accepted (a page that went
//    away is announced once).
//
// Engines are kept by name like EngineState's, so a new engine list that moves
// a column keeps what they accepted. Writes go with the run's grouped flag
// writes when a group is open (one savepoint inside it), and commit on their
// own otherwise; a failed write leaves nothing of itself and throws the
// table's "Unable to write to <urls2.db>: <reason>" UrlTableError.
class PageState
{
public:
    // One page's last check. The verdict kind is the page checks' own number
    // (0: the page may be indexed); the URL table keeps it as it is given.
    struct Check
    {
        QByteArray etag;
        QByteArray lastModified;
        QByteArray fingerprint; // "" when no content was read
        int verdictKind = 0;
        QString verdictText; // "" when the page may be indexed
        QString statusLine;
        QDateTime checked; // UTC
        // The hash of the bytes the fingerprint was read from, with what else
        // its reading depends on; "" when none was taken (a file of an older version).
        QByteArray rawHash;
    };

    explicit PageState(UrlTable &table);

    // The side tables, made when missing; UrlTable makes them when it opens.
    static void createTables(ProjectQuery &query);
    // Forgets everything of a project.
    static void forgetProject(ProjectQuery &query, int projectId);

    // The last check of every URL of the project that was checked.
    QHash<QString, Check> checks(int projectId);
    // Replaces the last checks of the given URLs, in one write.
    void setChecks(int projectId, const QHash<QString, Check> &checks);

    // The fingerprint each URL had when the engine last accepted it; URLs
    // without one are absent.
    QHash<QString, QByteArray> accepted(int projectId, const QString &engine);
    // Records fingerprints (url -> fingerprint) as the engine's accepted ones, in one write.
    void setAccepted(int projectId, const QString &engine, const QHash<QString, QByteArray> &fingerprints);

    // The URLs whose deletion the engine accepted.
    QSet<QString> deletionsAccepted(int projectId, const QString &engine);
    void setDeletionsAccepted(int projectId, const QString &engine, const QStringList &urls, const QDateTime &when);
    // Forgets the accepted deletions of the URLs in the project's list now, for
    // every engine: a page that came back is announced again when it goes away again.
    void forgetDeletionsOfListedUrls(int projectId);

private:
    template <typename Work> void write(Work &&work);

    UrlTable &m_table;
};
