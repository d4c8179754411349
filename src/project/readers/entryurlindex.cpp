#include "project/readers/entryurlindex.h"

#include "project/store/texthash.h"

#include <algorithm>

size_t EntryUrlIndex::freeSlot(quint64 tag) const
{
    const size_t mask = m_slots.size() - 1;
    size_t slot = size_t(tag) & mask;
    while (m_slots[slot])
        slot = (slot + 1) & mask;
    return slot;
}

bool EntryUrlIndex::isNew(const QList<SitemapEntry> &entries, const QString &url)
{
    // At most half full, so that a search ends soon at a free slot.
    if (size_t(entries.size()) * 2 >= m_slots.size()) {
        std::vector<quint64> old(std::max<size_t>(1024, m_slots.size() * 2));
        old.swap(m_slots);
        for (const quint64 held : old)
            if (held)
                m_slots[freeSlot(held >> 32)] = held;
    }
    const quint64 tag = quint64(TextHash()(url)) >> 32;
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = size_t(tag) & mask;; slot = (slot + 1) & mask) {
        const quint64 held = m_slots[slot];
        if (!held) {
            m_slots[slot] = tag << 32 | quint64(entries.size() + 1);
            return true;
        }
        if (held >> 32 == tag && entries.at(qsizetype(held & 0xFFFFFFFF) - 1).url == url)
            return false;
    }
}
