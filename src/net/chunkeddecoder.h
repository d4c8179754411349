#pragma once

#include <QString>
#include <functional>

// The body of an answer framed with "Transfer-Encoding: chunked", decoded as
// it arrives: hex sizes, each followed by that many data bytes and CR LF, up
// to the size 0 and the trailer lines. Chunk extensions and trailer fields are
// read over and dropped. Fed raw bytes in slices of any size; the data bytes
// go to the output function, never more than one slice holds.
class ChunkedDecoder
{
public:
    enum class State {
        Size,        // hex digits of a chunk size; at least one
        Extension,   // after the size: ignore all up to the CR
        SizeLF,      // the LF that ends the size line
        Data,        // m_remaining bytes of the chunk's data
        DataCR,      // the CR after the data
        DataLF,      // the LF after the data
        Trailer,     // the start of a trailer line: CR for the empty line, else a field
        TrailerLine, // inside a trailer field: ignore all up to the CR
        TrailerLF,   // the LF that ends a trailer field
        EndLF,       // the LF of the empty line that ends the body
        Done,        // the body is complete; nothing more is taken
        Failed,      // the framing is broken; nothing more is taken
    };

    using Output = std::function<void(const char *data, int len)>;

    explicit ChunkedDecoder(Output output) : m_output(std::move(output)) {}

    // Back to the first size line.
    void reset();
    // Takes bytes up to the end of the body; returns how many it took (fewer
    // than len only once Done or Failed is reached).
    int feed(const char *data, int len);

    State state() const { return m_state; }
    bool done() const { return m_state == State::Done; }
    bool failed() const { return m_state == State::Failed; }
    // What was wrong, once Failed: "chunk size is no hex number" and the like.
    QString failure() const { return m_failure; }

private:
    void fail(const char *why);

    Output m_output;
    State m_state = State::Size;
    qint64 m_remaining = 0; // the size being read, then the data still due
    int m_digits = 0;       // hex digits of the size line so far
    QString m_failure;
};
