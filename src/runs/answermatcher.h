#pragma once

#include <QByteArray>

// Looks for one text in an answer that arrives in pieces, with memory that
// does not grow with the answer: only the last (text length - 1) bytes of what
// came before are kept, so a match split across two pieces is still found.
// An empty text is never found.
class AnswerMatcher
{
public:
    explicit AnswerMatcher(const QByteArray &text = QByteArray()) : m_text(text) {}

    void reset(const QByteArray &text);
    void feed(const char *data, qsizetype len);
    bool found() const { return m_found; }

private:
    QByteArray m_text;
    QByteArray m_tail;
    bool m_found = false;
};
