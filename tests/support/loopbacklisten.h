#pragma once

#include <QtGlobal>

namespace qctest {

// A listening TCP socket on 127.0.0.1 at a port the system chose; the port
// goes to *port. Returns the descriptor, or -1 when no socket could be had.
int listenOnLoopback(quint16 *port, int backlog = 16);

} // namespace qctest
