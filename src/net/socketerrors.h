#pragma once

#include <QString>

#include "net/neterror.h"

namespace net {

// Maps a non-zero errno value onto the socket codes; one without a counterpart
// gives SocketUnmapped.
Error socketErrorFromErrno(int err);

// Maps a failed getaddrinfo() result (with the errno it left, for EAI_SYSTEM)
// onto the lookup errors (Error::HostNotFound ... Error::HostWithoutAddress) or,
// for system failures, the socket errors.
Error lookupErrorFromGai(int gaiResult, int err);

} // namespace net

// "[%d] %s" with the socket code's description, or "[%d] (no description
// available)" for a number that is no socket code.
QString SocketErrorText(int code);
