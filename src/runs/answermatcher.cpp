#include "runs/answermatcher.h"

void AnswerMatcher::reset(const QByteArray &text)
{
    m_text = text;
    m_tail.clear();
    m_found = false;
}

void AnswerMatcher::feed(const char *data, qsizetype len)
{
    if (m_found || m_text.isEmpty() || len <= 0)
        return;
    const QByteArrayView piece(data, len);
    const qsizetype keep = m_text.size() - 1;
    // A match that began in an earlier piece ends within the first `keep` bytes of this one.
    if (!m_tail.isEmpty()) {
        QByteArray joint = m_tail;
        joint.append(piece.first(qMin(len, keep)));
        if (joint.contains(m_text)) {
            m_found = true;
            return;
        }
    }
    if (piece.contains(m_text)) {
        m_found = true;
        return;
    }
    if (len >= keep) {
        m_tail = piece.last(keep).toByteArray();
    } else {
        m_tail.append(piece);
        if (m_tail.size() > keep)
            m_tail.remove(0, m_tail.size() - keep);
    }
}
