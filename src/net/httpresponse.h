#pragma once

#include <QByteArray>

// What the response parser reports, in arrival order.
class HttpResponseSink
{
public:
    virtual ~HttpResponseSink() = default;
    virtual void header(const QByteArray &field, const QByteArray &value) = 0;
    virtual void startTransfer() = 0;
    // bodyCount counts every body byte so far, this chunk included.
    virtual void body(const char *data, int len, qint64 bodyCount) = 0;
};

// The response side of an exchange as an incremental state machine. The
// connection's line buffer feeds it pieces: CR LF lines (without their ends)
// while wantsLines() is true, raw chunks after that. A line longer than the
// buffer arrives as several pieces, each taken as a line of its own. Interim
// answers ("HTTP/x 1xx" and their headers, up to their empty line) are
// dropped unseen. No header is interpreted: the body ends when the connection
// closes.
class HttpResponseParser
{
public:
    enum class State {
        StatusLine,     // expecting a status line; the next piece is it
        InterimHeaders, // an interim answer's headers, dropped; its empty line ends them
        Headers,        // the final answer's header lines; the empty line ends them
        Body,           // every piece is body until the connection closes
    };

    static constexpr int maxStatusLine = 1024;

    explicit HttpResponseParser(HttpResponseSink &sink) : m_sink(sink) {}

    // Back to the status-line state with nothing received.
    void reset();
    void feed(const char *data, int len);

    State state() const { return m_state; }
    bool wantsLines() const { return m_state != State::Body; }
    bool hasStatusLine() const { return m_state == State::Headers || m_state == State::Body; }
    // The first 1024 bytes of the final answer's status line; "" before one arrived.
    QByteArray statusLine() const { return m_statusLine; }
    qint64 bodyCount() const { return m_bodyCount; }
    // Bytes of every piece fed since the reset (line ends are not fed).
    qint64 consumed() const { return m_consumed; }

    // What follows the first blank of a status line, or "" without a blank.
    static QByteArray statusText(const QByteArray &statusLine);
    // An interim answer's status line: "HTTP/" and a status text starting with "1".
    static bool isInterim(const QByteArray &statusLine);
    // A header line as Field and Value: a line starting with a byte of 0x20 or
    // lower continues the previous one (Field "", Value from the second byte);
    // otherwise Field is the text before the first ":" and Value the rest with
    // one leading blank removed; a line without ":" is all Field.
    static void splitHeader(const char *data, int len, QByteArray *field, QByteArray *value);

private:
    HttpResponseSink &m_sink;
    State m_state = State::StatusLine;
    QByteArray m_statusLine;
    qint64 m_bodyCount = 0;
    qint64 m_consumed = 0;
};
