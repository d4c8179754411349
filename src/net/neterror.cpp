#include "net/neterror.h"

namespace net {

namespace {

// The descriptions are the program's own fixed texts, typos included: logs and
// saved reports have always carried them in this form. Null for a code that has
// none. Every code must be here: the switch has no default, so the compiler
// names a code that was added without a text.
const char *description(Error code)
{
    // clang-format off
    switch (code) {
    case Error::LocalFileNotCreated: return "Can't open local file for writing.";
    case Error::LocalFileWriteFailed: return "Error writing to LocalFile";
    case Error::RemoteHostBusy: return "You cannot change the RemoteHost at this time. A connection is in progress.";
    case Error::AddressInvalid: return "The RemoteHost address is invalid (0.0.0.0).";
    case Error::PortZero: return "RemotePort can't be zero. Please specify a valid service port number.";
    case Error::StatusFailed: return "The server answered with a failure status.";
    case Error::NoServer: return "No server specified in URL";
    case Error::BadScheme: return "Specified URLScheme is invalid.";
    case Error::UnsafeTarget: return "Request target contains a blank or control character";
    case Error::UnsafeHeader: return "Request header contains a line break or control character";
    case Error::ProxyUnreachable: return "proxy not reachable";
    case Error::ProxyAuthentication: return "proxy asks for authentication (407)";
    case Error::ProxyRefused: return "proxy refused the tunnel";
    case Error::ProxyInvalid: return "proxy setting not usable";
    case Error::TlsHandshakeFailed: return "handshake failed";
    case Error::TlsCertificateUntrusted: return "certificate verify failed";
    case Error::TlsHostMismatch: return "host name mismatch";
    case Error::TlsConnectionFailed: return "secure connection failed";
    case Error::TlsUnavailable: return "TLS could not be set up";
    case Error::ChunkMalformed: return "malformed chunked body";
    case Error::BodyIncomplete: return "the connection closed before the end of the body";
    case Error::OutOfMemory: return "Out of memory.";
    case Error::Interrupted: return "Interrupted.";
    case Error::AttachedFileUnreadable: return "Can't open attached file for reading.";
    case Error::SocketUnmapped: return nullptr;
    case Error::SocketInterruptedCall: return "Interrupted system call";
    case Error::SocketBadFileNumber: return "Bad file number";
    case Error::SocketAccessDenied: return "Access denied";
    case Error::SocketBadAddress: return "Bad address";
    case Error::SocketInvalidArgument: return "Invalid argument";
    case Error::SocketTooManyOpenFiles: return "Too many open files";
    case Error::SocketWouldBlock: return "Operation would block";
    case Error::SocketInProgress: return "Operation now in progress";
    case Error::SocketAlreadyInProgress: return "Operation already in progress";
    case Error::SocketNotSocket: return "Socket operation on non-socket";
    case Error::SocketDestinationRequired: return "Destination address required";
    case Error::SocketMessageTooLong: return "Message too long";
    case Error::SocketWrongProtocolType: return "Protocol wrong type for socket";
    case Error::SocketBadProtocolOption: return "Bad protocol option";
    case Error::SocketProtocolNotSupported: return "Protocol not supported";
    case Error::SocketTypeNotSupported: return "Socket type not supported";
    case Error::SocketOperationNotSupported: return "Operation not supported on socket";
    case Error::SocketProtocolFamilyNotSupported: return "Protocol family not supported";
    case Error::SocketAddressFamilyNotSupported: return "Address family not supported by protocol family";
    case Error::SocketAddressInUse: return "Address already in use";
    case Error::SocketAddressNotAvailable: return "Can't assign requested address";
    case Error::SocketNetworkDown: return "Network is down";
    case Error::SocketNetworkUnreachable: return "Network is unreachable";
    case Error::SocketNetworkReset: return "Net dropped connection or reset";
    case Error::SocketConnectionAborted: return "Software caused connection abort";
    case Error::SocketConnectionReset: return "Connection reset by peer";
    case Error::SocketNoBufferSpace: return "No buffer space available";
    case Error::SocketAlreadyConnected: return "Socket is already connected";
    case Error::SocketNotConnected: return "Socket is not connected";
    case Error::SocketShutDown: return "Can't send after socket shutdown";
    case Error::SocketTooManyReferences: return "Too many references, can't splice";
    case Error::SocketTimedOut: return "Connection timed out";
    case Error::SocketConnectionRefused: return "Connection refused";
    case Error::SocketSymbolicLinkLoop: return "Too many levels of symbolic links";
    case Error::SocketNameTooLong: return "File name too long";
    case Error::SocketHostDown: return "Host is down";
    case Error::SocketNoRoute: return "No route to host";
    case Error::SocketDirectoryNotEmpty: return "Directory not empt";
    case Error::SocketTooManyProcesses: return "Too many processes";
    case Error::SocketTooManyUsers: return "Too many users";
    case Error::SocketDiskQuotaExceeded: return "Disc Quota Exceeded";
    case Error::SocketStaleHandle: return "Stale NFS file handle";
    case Error::SocketRemotePath: return "Too many levels of remote in path";
    case Error::SocketSubsystemUnavailable: return "Network subsystem is unavailable";
    case Error::SocketVersionOutOfRange: return "WINSOCK DLL Version out of range";
    case Error::SocketLayerNotLoaded: return "Winsock not loaded yet (WSANOTINITIALISED)";
    case Error::HostNotFound: return "Host not found";
    case Error::HostNotFoundTryAgain: return "Non-authoritative 'Host not found' (try again or check DNS setup)";
    case Error::LookupFailed: return "Non-recoverable errors: FORMERR, REFUSED, NOTIMP";
    case Error::HostWithoutAddress: return "Valid name, no data record (check DNS setup)";
    }
    // clang-format on
    return nullptr;
}

bool isSocketCode(Error code)
{
    return static_cast<quint16>(code) >= static_cast<quint16>(Error::SocketUnmapped);
}

} // namespace

QString errorText(Error code)
{
    const int number = static_cast<int>(code);
    const char *text = description(code);
    if (text == nullptr)
        return QStringLiteral("[%1] (no description available)").arg(number);
    if (isSocketCode(code))
        return QStringLiteral("[%1] %2").arg(number).arg(QLatin1String(text));
    return QLatin1String(text);
}

QString errorText(Error code, const QString &detail)
{
    if (detail.isEmpty())
        return errorText(code);
    return errorText(code) + QStringLiteral(": ") + detail;
}

} // namespace net

ENetCore::ENetCore(net::Error code) : ENetCore(code, net::errorText(code))
{}

ENetCore::ENetCore(net::Error code, const QString &message)
    : m_code(code), m_message(message),
      m_what((QString::number(static_cast<int>(code)) + QStringLiteral(": ") + m_message).toStdString())
{}
