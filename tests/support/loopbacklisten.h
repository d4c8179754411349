#pragma once

#include <QtGlobal>

#include <atomic>

namespace qctest {

// A listening TCP socket on 127.0.0.1 at a port the system chose; the port
// goes to *port. Returns the descriptor, or -1 when no socket could be had.
int listenOnLoopback(quint16 *port, int backlog = 16);

// Waits, in short slices, until fd is ready for events: true then; false when
// stopping is set, deadlineMs have passed or poll failed.
bool waitForEvents(int fd, short events, const std::atomic<bool> &stopping, int deadlineMs);

} // namespace qctest
