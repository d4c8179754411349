#pragma once

#include <QByteArray>
#include <QString>

#include "net/chunkeddecoder.h"

// What the response parser reports, in arrival order.
class HttpResponseSink
{
public:
    virtual ~HttpResponseSink() = default;
    virtual void header(const QByteArray &field, const QByteArray &value) = 0;
    virtual void startTransfer() = 0;
    // bodyCount counts every body byte so far, this chunk included.
    virtual void body(const char *data, int len, qint64 bodyCount) = 0;
    // Framed answers only: the body is complete (right after startTransfer for
    // an answer that has none).
    virtual void answerEnded() {}
    // Framed answers only: the chunked framing is broken; detail says how.
    virtual void framingFailed(const QString &detail) { Q_UNUSED(detail); }
};

// The response side of an exchange as an incremental state machine. The
// connection's line buffer feeds it pieces: CR LF lines (without their ends)
// while wantsLines() is true, raw chunks after that. A line longer than the
// buffer arrives as several pieces, each taken as a line of its own. Empty
// lines before the status line are passed over, as HTTP/1.1 clients do (a
// server may end its previous answer with a stray CR LF), up to
// maxBlankLinesBeforeStatus; the one after those is taken as an empty status
// line, so a peer that sends nothing else still comes to an end. Interim
// answers ("HTTP/x 1xx" and their headers, up to their empty line) are
// dropped unseen. Unframed (the default), no header is interpreted: the body
// ends when the connection closes. Framed, the body ends where
// Content-Length or the chunked framing says, and the answer tells whether
// its connection may carry another exchange.
class HttpResponseParser
{
public:
    enum class State {
        StatusLine,     // expecting a status line; the next piece is it
        InterimHeaders, // an interim answer's headers, dropped; its empty line ends them
        Headers,        // the final answer's header lines; the empty line ends them
        Body,           // every piece is body until the connection closes
        LengthBody,     // framed: body until Content-Length bytes came
        ChunkedBody,    // framed: body through the chunked decoder
        Complete,       // framed: the answer is whole; further bytes are excess
        Failed,         // framed: the chunked framing broke; nothing more is taken
    };

    static constexpr int maxStatusLine = 1024;
    static constexpr int maxBlankLinesBeforeStatus = 16;

    explicit HttpResponseParser(HttpResponseSink &sink);

    // Back to the status-line state with nothing received, unframed.
    void reset();
    // After reset: reads the body's framing from the headers. bodiless: the
    // request was a HEAD, whose answer has no body whatever it announces.
    void setFramed(bool bodiless);
    void feed(const char *data, int len);

    State state() const { return m_state; }
    bool wantsLines() const
    {
        return m_state == State::StatusLine || m_state == State::InterimHeaders || m_state == State::Headers;
    }
    bool hasStatusLine() const { return !wantsLines() || m_state == State::Headers; }
    // Framed: the answer is whole.
    bool complete() const { return m_state == State::Complete; }
    // Framed: the body ended before its framing's end when the connection closes now.
    bool inFramedBody() const { return m_state == State::LengthBody || m_state == State::ChunkedBody; }
    // Framed: the answer is whole, nothing followed it, and its server keeps
    // the connection (HTTP/1.1 without "Connection: close", or HTTP/1.0
    // with "Connection: keep-alive"; never a body ended by the close).
    bool reusable() const { return complete() && m_keepAlive && !m_excess; }
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
    void noteFraming(const QByteArray &field, const QByteArray &value);
    void startBody();
    void takeBody(const char *data, int len);
    void endAnswer();

    HttpResponseSink &m_sink;
    State m_state = State::StatusLine;
    QByteArray m_statusLine;
    int m_blankLines = 0; // passed over before the status line
    qint64 m_bodyCount = 0;
    qint64 m_consumed = 0;
    // The framing, read from the final answer's headers.
    bool m_framed = false;
    bool m_bodiless = false;
    QByteArray m_contentLength;
    bool m_lengthConflict = false;
    QByteArray m_transferEncoding;
    QByteArray m_connection;
    qint64 m_remaining = 0; // LengthBody: body bytes still due
    bool m_keepAlive = false;
    bool m_excess = false;
    ChunkedDecoder m_chunks;
};
