#pragma once

#include "net/bytestream.h"

// Plain TCP over a connected non-blocking socket. The socket stays the
// caller's: the stream never closes it.
class TcpStream : public ByteStream
{
public:
    explicit TcpStream(int fd) : m_fd(fd) {}

    Result handshake() override { return Result::done(0); }
    Result read(char *buffer, int size) override;
    Result write(const char *data, int size) override;
    int pendingInput() const override { return 0; }

private:
    int m_fd;
};
