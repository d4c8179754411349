#pragma once

#include <QString>

// The one closed set of socket error codes (10004-11004, the numbering of the
// Windows Sockets 1.1 table the program's messages and logs have always used)
// and the one place that turns a code into its text. Platform errors are
// mapped onto these codes before any lookup.
namespace net {

// Codes that the socket core itself produces, besides the mapped platform errors.
enum SocketErrorCode : int {
    WouldBlockCode = 10035,
    NotSocketCode = 10038,
    ConnectionResetCode = 10054,
    ConnectionRefusedCode = 10061,
    LayerNotLoadedCode = 10093,
    HostNotFoundCode = 11001,
    // A platform error without a counterpart in the table; its text is the
    // "(no description available)" form.
    UnmappedErrorCode = 10000,
};

// Maps an errno value onto the code table. 0 stays 0; an errno without a
// counterpart gives UnmappedErrorCode.
int socketErrorFromErrno(int err);

// Maps a getaddrinfo() result (with the errno it left, for EAI_SYSTEM) onto
// the lookup codes 11001-11004 or, for system failures, the socket codes.
int lookupErrorFromGai(int gaiResult, int err);

} // namespace net

// "[%d] %s" with the table's description, or "[%d] (no description available)"
// for a code not in the table.
QString SocketErrorText(int code);
