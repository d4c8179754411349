#pragma once

#include <QByteArray>
#include <optional>

#include "net/neterror.h"

// The system calls of a non-blocking IPv4 TCP client socket, each failure
// mapped onto the code set.
namespace net {

// The IPv4 address (host byte order) of a dotted address or, looked up
// synchronously, the first IPv4 address of a name. The lookup's error
// (HostNotFound ... HostWithoutAddress, or a socket error) when there is none.
std::optional<Error> resolveIPv4(const QByteArray &host, quint32 *address);

// A new non-blocking socket with out-of-band data inline. Throws ENetCore.
int openTcpSocket();

struct ConnectStart
{
    enum State {
        Pending,  // under way: the socket turns writable when it is decided
        Decided,  // decided within the call (loopback): connectOutcome() tells
        Answered, // the network refused at once; error says how
        Failed,   // the attempt could not even start; error says why
    } state;
    Error error = Error::SocketUnmapped;
};
ConnectStart startConnect(int fd, quint32 address, quint16 port);
// The outcome of an attempt once the socket turned writable; nothing when connected.
std::optional<Error> connectOutcome(int fd);

// Bytes received and not yet read.
qint64 queuedBytes(int fd);

// The local address of a connected socket, or for fd -1 the computer's host
// name (at most 100 bytes); the socket error text when it cannot be had.
QByteArray localHostText(int fd);

} // namespace net
