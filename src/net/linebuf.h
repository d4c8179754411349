#pragma once

#include <QtGlobal>

// The receive buffer of a connection. While line splitting is on it hands out
// CR LF lines (without their CR LF); with splitting off it hands out whatever
// it holds, raw. A line longer than the buffer leaves it as several pieces:
// a full buffer without a line end is handed out whole.
//
// A piece handed out points into the buffer and stays valid until the next
// call that changes the buffer (freeSpace, commit, reset).
class LineBuffer
{
public:
    static constexpr int m_lenBuffer = 2048;

    // Empty, line splitting on.
    void reset();

    bool splitLines() const { return m_splitLines; }
    void setSplitLines(bool on) { m_splitLines = on; }

    // Room for the next receive, after moving the held bytes to the front.
    // Null with freeSize() 0 when the buffer is full.
    char *freeSpace();
    int freeSize() const { return m_lenBuffer - m_start - m_lenData; }
    // Counts n received bytes (at most freeSize()) as held.
    void commit(int n);

    // The next piece to hand on while receiving: a complete line (consumed
    // together with its CR LF), everything held when raw, or the whole buffer
    // when it is full without a line end. False when none is ready.
    bool nextPiece(const char **data, int *len);
    // The same at the end of the data (the peer closed): a complete line if
    // there is one, otherwise whatever is left as one piece.
    bool nextPieceAtEnd(const char **data, int *len);

    int held() const { return m_lenData; }
    // Bytes taken out of the buffer so far, line ends included.
    qint64 consumed() const { return m_consumed; }

private:
    bool takeLine(const char **data, int *len);
    void takeAll(const char **data, int *len);

    char m_lpBuffer[m_lenBuffer];
    int m_start = 0;   // offset of the first unconsumed byte
    int m_lenData = 0; // bytes held from m_start on
    bool m_splitLines = true;
    qint64 m_consumed = 0;
};
