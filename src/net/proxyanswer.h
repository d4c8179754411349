#pragma once

#include <QByteArray>

// A proxy's answer to CONNECT, up to and with its empty line, as an
// incremental state machine fed in slices of any size. It takes nothing past
// the empty line: what follows belongs to the tunnel. Lines end with LF; a CR
// before it is dropped.
class ProxyAnswerParser
{
public:
    enum class State {
        StatusLine, // the status line up to its LF; the first maxStatusLine bytes are kept
        HeaderLine, // a header line, skipped up to its LF; an empty one ends the answer
        Done,       // the empty line was taken; nothing more is
    };

    static constexpr int maxStatusLine = 1024;

    // Takes bytes up to the end of the answer and returns how many it took:
    // all of them unless the answer ended within them.
    int feed(const char *data, int len);

    State state() const { return m_state; }
    bool done() const { return m_state == State::Done; }
    // Without its line end.
    QByteArray statusLine() const { return m_statusLine.left(maxStatusLine); }
    // The three-digit code of an "HTTP/x.y NNN ..." status line, 0 for any other line.
    int statusCode() const;
    // Bytes taken since construction.
    qint64 consumed() const { return m_consumed; }

private:
    State m_state = State::StatusLine;
    QByteArray m_statusLine;
    int m_lineBytes = 0; // bytes of the current header line other than CR
    qint64 m_consumed = 0;
};
