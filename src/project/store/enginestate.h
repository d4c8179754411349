#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

class ProjectQuery;
class UrlTable;

// What engines told the program that outlives a run, kept beside the URLs in
// urls2.db: the sitemaps a project imported last (an engine that takes sitemaps
// rather than URLs is given those), when an engine last answered a search for
// each URL (a search held to a daily quota asks the longest-unasked URLs
// first), how much of an engine's daily quota is used, until when an engine
// asked not to be asked again, and since when URLs have waited for a quota.
//
// Engines are kept by name, not by flag column: a new engine list may move an
// engine to another column, and its quota and answers stay its own. Writes go
// with the table's grouped flag writes while a run groups them (see
// UrlTable::beginFlagBatch()), so a kill loses at most what a flag would; they
// throw the table's "Unable to write" UrlTableError.
class EngineState
{
public:
    explicit EngineState(UrlTable &table);

    // The side tables, made when missing; UrlTable makes them when it opens.
    static void createTables(ProjectQuery &query);
    // Forgets everything of a project (its rows in the side tables).
    static void forgetProject(ProjectQuery &query, int projectId);

    // The sitemaps of the project's last sitemap import, in the order given
    // (files and http(s) addresses as the import was told them); empty when the
    // project's URLs came from elsewhere.
    QStringList sitemaps(int projectId);
    // Replaces the project's sitemaps; an empty list forgets them (a URL-list import).
    void setSitemaps(int projectId, const QStringList &sitemaps);

    // When the engine's search last answered for each URL of the project
    // (UTC); URLs it never answered are absent.
    QHash<QString, QDateTime> lastAnswers(int projectId, const QString &engine);
    void setAnswered(int projectId, const QString &engine, const QString &url, const QDateTime &when);
    // urls ordered for an engine's search: those it never answered first (in
    // their order), then the oldest answer first.
    QStringList longestUnasked(int projectId, const QString &engine, const QStringList &urls);

    // The engine's calls counted on day for scope (a Search Console property, a
    // Bing site): what the program itself sent, kept across runs.
    int quotaUsed(const QString &engine, const QString &scope, const QDate &day);
    void addQuotaUse(const QString &engine, const QString &scope, const QDate &day, int calls);

    // Until when the engine asked not to be asked again (a Retry-After), UTC;
    // invalid when it did not or that time has passed.
    QDateTime notBefore(const QString &engine, const QDateTime &now);
    // Keeps until; an invalid until forgets it.
    void setNotBefore(const QString &engine, const QDateTime &until);

    // The project's URLs that wait for the engine's quota (its day quota, its
    // Retry-After) after a run: a URL new to the wait begins it at now, one no
    // longer waiting is forgotten. Returns since when each of urls has waited.
    QHash<QString, QDateTime> setWaiting(int projectId, const QString &engine, const QStringList &urls,
                                         const QDateTime &now);

private:
    template <typename Work> void write(Work &&work);

    UrlTable &m_table;
};
