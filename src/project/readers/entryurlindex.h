#pragma once

#include "project/readers/sitemapentry.h"

#include <QList>
#include <QString>
#include <vector>

// The URLs of a growing list of sitemap entries, for telling whether a URL is
// there already: one flat open-addressed table of entry numbers, no allocation
// per URL. A slot holds the upper half of the URL's hash, which both places it
// and tells most other URLs apart without comparing them, and the entry's
// number plus one (0 is a free slot).
class EntryUrlIndex
{
public:
    // Whether no entry of entries holds url; when none does, the entry the
    // caller appends next (at entries.size()) is taken to hold it. entries
    // must be the list this index has seen grow, and only grow.
    bool isNew(const QList<SitemapEntry> &entries, const QString &url);
    void clear() { m_slots.clear(); }

private:
    size_t freeSlot(quint64 tag) const;

    std::vector<quint64> m_slots;
};
