#pragma once

#include "project/store/projectquery.h"
#include "project/store/texthash.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <unordered_map>
#include <utility>
#include <vector>

// The work of making a project's URLs a new list, run inside a transaction the
// caller holds, over three tables of urls2.db:
//   urls2          the current URLs and their flags E1 ... E30;
//   urls2_sitemap  the lastmods of each project's last sitemap import, one
//                  value a project (SitemapLastmods);
//   urls2_history  (Projectid REAL, Url VARCHAR(255), E1 ... E30 BOOLEAN, Lastmod
//                  TEXT), one row per project and URL: what a URL that left the
//                  list had been sent (its flags as stored, NULL included) and
//                  its lastmod, kept so that it is not sent again when it comes
//                  back.
// Changes are made many rows a statement wherever they can be, and stored rows are
// matched with the list at the place they are expected first, so that the weekly
// import of an unchanged site reads the project's rows once and writes nothing.
// One object makes one replacement.
class UrlReplacement
{
public:
    // Creates urls2_sitemap (SitemapLastmods::createTable(), which also brings an
    // older file's lastmods into it) and urls2_history with its index when
    // missing. Meant to run inside the caller's transaction; costs a lookup when
    // all is in place. Throws UrlTableError when a statement fails.
    static void createTables(ProjectQuery &query);

    UrlReplacement(ProjectQuery &query, int projectId);

    // Makes the project's rows exactly urls (as stored, in the order to append new
    // ones; a URL given twice counts once, the first time, with its lastmod):
    // - a URL the project holds keeps the first of its rows and that row's flags
    //   as stored; its other rows go;
    // - a URL that leaves takes its flags (of its first row) and its lastmod into
    //   urls2_history, replacing what was kept there before;
    // - a new URL found in urls2_history gets its kept flags back (and its lastmod,
    //   to be weighed as if it had never left) and leaves the history; any other
    //   new URL is appended with all thirty flags true.
    // With lastmods (parallel to urls, trimmed, "" for none) it also weighs them:
    // a URL whose stored lastmod and new one are both there and do not name the
    // same moment (sameLastmod()) gets all thirty flags true; then the new
    // lastmods replace the stored ones, and a URL without one keeps none. Without
    // lastmods (a URL list) the stored lastmods of the URLs that stay are left as
    // they are.
    // Returns the rows appended. Throws UrlTableError when a statement fails; the
    // caller rolls back.
    int run(const QStringList &urls, const QStringList *lastmods);

private:
    // The place of url in the list, -1 when it is not there; next is where the
    // following row is expected.
    qsizetype place(const QString &url, qsizetype &next) const;
    void readRows();
    void readHistory();
    // Encodes the list's lastmods as they are to be stored, into m_image.
    void encodeLastmods(const QStringList &lastmods);
    // Reads the stored lastmods and matches them with the list: with lastmods, it
    // weighs them; always, it takes those of the URLs that leave; for a URL list
    // it makes m_image what is to be stored instead, when that changes.
    void weighStoredLastmods(const QStringList *lastmods);
    int appendNewRows(const QStringList &urls, const QStringList *lastmods);
    void storeLastmods();

    ProjectQuery &m_query;
    int m_projectId;
    // The places of the URLs of a list, by their text.
    class Index
    {
    public:
        void reserve(qsizetype count);
        // The place of url in urls; -1 when it is not there, after recording
        // that it is about to be appended to urls.
        qsizetype insert(const QStringList &urls, const QString &url);
        qsizetype find(const QStringList &urls, const QString &url) const;
        // The first place whose URL has this key (SitemapLastmods::key()); -1 for none.
        qsizetype findKey(quint64 key) const;
        quint64 key(qsizetype place) const { return m_keys[size_t(place)]; }

    private:
        std::vector<qsizetype> m_slots; // places, -1 for none
        std::vector<quint64> m_keys;    // per place: the key of its URL
    };
    QStringList m_urls; // the list, each URL once
    Index m_index;
    std::vector<qint64> m_row;                                  // per URL: the row it keeps, 0 when new
    std::vector<bool> m_hadLastmod;                             // per URL: a lastmod was stored for it
    std::vector<bool> m_lastmodChanged;                         // per URL: its stored lastmod and the new one differ
    std::unordered_map<qsizetype, QString> m_returning;         // new URLs found in the history: their kept lastmod
    QVariantList m_doomedRows;                                  // urls2 rows that go
    std::unordered_map<QString, QString, TextHash> m_departing; // the URLs that leave: their stored lastmod
    QVariantList m_departingRows;                               // the first row of each, in row order
    QByteArray m_stored;                                        // the project's value in urls2_sitemap
    QByteArray m_image;                                         // the value to store
    bool m_imageChanged = false;                                // m_image is to be stored
};
