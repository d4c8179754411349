#pragma once

#include <QString>

#include "net/neterror.h"

// What the HTTP exchange reads from and writes to, under the line buffer: a
// connected, non-blocking stream over the connection's socket. Plain TCP and
// an encrypted stream sit side by side under it, so everything above (line
// buffer, response parser, events) is shared.
//
// No call blocks. A call that cannot go on now says which readiness of the
// socket it waits for; an encrypted stream may need the socket writable to
// read (or readable to write), so the caller waits for what it is told.
class ByteStream
{
public:
    enum class Status {
        Done,       // bytes moved (or the handshake finished)
        WouldBlock, // wait for `ready`, then call again
        End,        // the peer ended the stream in order
        Failed,     // `error` says why; the stream is unusable
    };
    enum class Ready { Read, Write };

    struct Result
    {
        Status status = Status::Done;
        int bytes = 0;
        Ready ready = Ready::Read;
        net::Error error = net::Error::SocketUnmapped;
        // What the code's text alone does not say ("self-signed certificate"); often empty.
        QString detail{};

        static Result done(int bytes) { return {Status::Done, bytes}; }
        static Result wouldBlock(Ready ready) { return {Status::WouldBlock, 0, ready}; }
        static Result end() { return {Status::End}; }
        static Result failed(net::Error error, const QString &detail = {})
        {
            return {Status::Failed, 0, Ready::Read, error, detail};
        }
    };

    virtual ~ByteStream() = default;

    // The step after the TCP connection is made, called again after each
    // WouldBlock until it is Done or Failed: an encrypted stream's handshake.
    virtual Result handshake() = 0;
    // Reads at most size (> 0) bytes into buffer.
    virtual Result read(char *buffer, int size) = 0;
    // Writes at most size (> 0) bytes; Done may have taken fewer.
    virtual Result write(const char *data, int size) = 0;
    // Bytes already received and held inside the stream, which the socket
    // will not announce again (decrypted data); 0 for plain TCP.
    virtual int pendingInput() const = 0;
    // Ends the stream in order where its protocol has such an end (an
    // encrypted stream's close_notify), without waiting for the peer's answer.
    // Called once before the socket is closed after a clean exchange; never
    // blocks, and a failure changes nothing.
    virtual void shutdown() {}
};
